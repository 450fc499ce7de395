#include "setup/uninstall/KVUserSettingsCleanup.h"

#include <cstdlib>
#include <cwchar>

#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "platform/spooler/PrinterNames.h"
#include "setup/uninstall/KVUserProfiles.h"

namespace {

constexpr const wchar_t* kTemporaryProfile = L"BLACKICE_TEMPORARY_PROFILE";
constexpr const wchar_t* kPerUserKeys[] = {L"\\Printers\\DevModePerUser", L"\\Printers\\DevModes2",
                                           L"\\Printers\\Settings"};

bool SameText(const std::wstring& a, const std::wstring& b) {
    return wcscasecmp(a.c_str(), b.c_str()) == 0;
}

// Deletes the printer's values of one key of a loaded store, rescanning
// from the start after each deletion (the indexes move).
void CleanKey(const std::wstring& keyPath, const std::wstring& printerName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_USERS, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    for (bool deleted = true; deleted;) {
        deleted = false;
        for (DWORD index = 0;; ++index) {
            wchar_t name[16384];
            DWORD chars = 16384;
            if (RegEnumValueW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            if (IsPrinterValueName(std::wstring(name, chars), printerName) &&
                RegDeleteValueW(key, name) == ERROR_SUCCESS) {
                deleted = true;
                break;
            }
        }
    }
    RegCloseKey(key);
}

// The current user's key: only its first value is looked at.
bool CleanCurrentUserKey(const wchar_t* keyPath, const std::wstring& printerName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t name[16384];
    DWORD chars = 16384;
    if (RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        std::wstring(name, chars).find(printerName) != std::wstring::npos) {
        RegDeleteValueW(key, name);
    }
    RegCloseKey(key);
    return true;
}

// The user's own store and CUPS options, done with the user's identity.
bool CleanProfile(const std::wstring& profilePath, const std::wstring& printerName) {
    const std::wstring store = SettingsStoreOf(profilePath);
    if (sw::shell::FileExists(store) &&
        RegLoadKeyW(HKEY_USERS, kTemporaryProfile, store.c_str()) == ERROR_SUCCESS) {
        for (const wchar_t* sub : kPerUserKeys) {
            CleanKey(std::wstring(kTemporaryProfile) + sub, printerName);
        }
        RegUnLoadKeyW(HKEY_USERS, kTemporaryProfile);
    }
    return RemoveQueueFromCupsOptions(sw::shell::ToNarrow(CupsOptionsOf(profilePath)),
                                      sw::spooler::QueueOfPrinterName(printerName));
}

}  // namespace

bool IsPrinterValueName(const std::wstring& valueName, const std::wstring& printerName) {
    if (SameText(valueName, printerName) || valueName.find(printerName + L",") != std::wstring::npos) {
        return true;
    }
    const size_t first = valueName.find(printerName);
    return first != std::wstring::npos && first + printerName.size() == valueName.size();
}

void CleanUserPrinterSettings(const std::wstring& printerName) {
    const std::vector<KVUserProfile> profiles = EnumerateUserProfiles();
    if (profiles.empty()) {
        return;
    }
    for (const KVUserProfile& profile : profiles) {
        std::wstring path = profile.strProfileImagePath;
        if (path.empty()) {
            return;
        }
        if (path.find(L"%systemroot%") != std::wstring::npos ||
            path.find(L"%SystemRoot%") != std::wstring::npos) {
            continue;
        }
        if (path.find(L"%systemdrive%") != std::wstring::npos ||
            path.find(L"%SystemDrive%") != std::wstring::npos) {
            const char* drive = std::getenv("SystemDrive");
            path.replace(0, 13, sw::shell::FromNarrow(drive != nullptr ? drive : ""));
        }
        RunAsUser(profile, [&] { return CleanProfile(path, printerName); });
    }
    if (CleanCurrentUserKey(L"Printers\\DevModePerUser", printerName)) {
        CleanCurrentUserKey(L"Printers\\DevModes2", printerName);
    }
}
