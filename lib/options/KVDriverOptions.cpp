#include "lib/options/KVDriverOptions.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>

#include "lib/registry/KVTRegistryValue.h"
#include "lib/util/KVLibUtility.h"
#include "lib/util/KVText.h"
#include "platform/base/TextCodec.h"

const wchar_t* const KVDriverOptions::msc_sRegRoot = L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver\\";
const wchar_t* const KVDriverOptions::msc_sExcelRegRoot =
    L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver\\Excel\\";

namespace {

CString RegPath(const wchar_t* valueName) {
    return CString(KVDriverOptions::msc_sRegRoot) + valueName;
}

}  // namespace

KVDriverOptions::KVDriverOptions() {
    KVDriverOptions::LoadDefaultValues();
}

KVDriverOptions::KVDriverOptions(const KVDriverOptions& other) : KVDriverOptions() {
    KVDriverOptions::InternalCopy(other);
}

KVDriverOptions& KVDriverOptions::operator=(const KVDriverOptions& other) {
    if (this != &other) {
        InternalCopy(other);
    }
    return *this;
}

KVDriverOptions::~KVDriverOptions() = default;

void KVDriverOptions::CopyFrom(const KVDriverOptions& source) {
    if (this != &source) {
        InternalCopy(source);
    }
}

LPCTSTR KVDriverOptions::GetInstallFolder() const {
    return m_sInstallFolder;
}

void KVDriverOptions::SetInstallFolder(LPCTSTR folder) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(folder, m_sInstallFolder, KV_TEXT_CAPACITY);
}

KVFileParserTypes::enFileParserType KVDriverOptions::GetDefaultFileParserType() const {
    return m_enDefaultFileParserType;
}

void KVDriverOptions::SetDefaultFileParserType(KVFileParserTypes::enFileParserType type) {
    m_enDefaultFileParserType = type;
}

long KVDriverOptions::GetMRUProfileIndex() const {
    return m_lMRUProfileIndex;
}

void KVDriverOptions::SetMRUProfileIndex(long index) {
    m_lMRUProfileIndex = index;
}

LPCTSTR KVDriverOptions::GetMRUProfileName() const {
    return m_sMRUProfileName;
}

void KVDriverOptions::SetMRUProfileName(LPCTSTR name) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(name, m_sMRUProfileName, KV_TEXT_CAPACITY);
}

BOOL KVDriverOptions::LoadSettings() {
    return TRUE;
}

BOOL KVDriverOptions::SaveSettings() {
    return TRUE;
}

void KVDriverOptions::LoadDefaultValues() {
    m_enDefaultFileParserType = KVFileParserTypes::enFileParserExcel;
}

void KVDriverOptions::ClearOptions() {}

KVFileParserTypes::enFileParserType KVDriverOptions::GetDriverOptionType() const {
    return KVFileParserTypes::enFileParserDefault;
}

void KVDriverOptions::WriteErrorLog(LPCTSTR message) {
    try {
        char directory[260] = {};
        if (getcwd(directory, sizeof(directory)) == nullptr) {
            return;
        }
        const std::string path = std::string(directory) + "/KVRegErrLog.txt";
        std::FILE* file = std::fopen(path.c_str(), "a");
        if (file == nullptr) {
            return;
        }
        char stamp[32] = {};
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local) != nullptr) {
            std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
        }
        const std::wstring text = message != nullptr ? std::wstring(message) : std::wstring();
        const std::string narrow = sw::base::ToLocale(text);
        std::fprintf(file, "Registry Error %s - %s\n", stamp, narrow.c_str());
        std::fclose(file);
    } catch (const std::exception&) {
        // The log is a diagnostic aid; failing to write it changes nothing.
    }
}

bool KVDriverOptions::ValidateRegValue(const KVTRegistryValue& value) {
    if (!value.Open(false)) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    const bool found = value.QueryValue(&type, &size, nullptr);
    value.Close();
    return found;
}

void KVDriverOptions::InternalCopy(const KVDriverOptions& source) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(source.m_sInstallFolder, m_sInstallFolder, KV_TEXT_CAPACITY);
    m_enDefaultFileParserType = source.m_enDefaultFileParserType;
    m_lMRUProfileIndex = source.m_lMRUProfileIndex;
    KVLibUtility::CopyLPCTSTRToLPTSTR(source.m_sMRUProfileName, m_sMRUProfileName, KV_TEXT_CAPACITY);
}

BOOL KVDriverOptions::_LoadDefaultSettings() {
    if (GetDriverOptionType() != KVFileParserTypes::enFileParserDefault) {
        return FALSE;
    }
    try {
        KVTRegistry_string<CString> installFolder(RegPath(L"InstallFolder").c_str(), HKEY_LOCAL_MACHINE);
        KVTRegistry_int<int> parserType(RegPath(L"DefaultFileParserType").c_str(), HKEY_CURRENT_USER);
        KVTRegistry_int<int> mruIndex(RegPath(L"MRUProfileIndex").c_str(), HKEY_CURRENT_USER);
        KVTRegistry_string<CString> mruName(RegPath(L"MRUProfileName").c_str(), HKEY_CURRENT_USER);

        const CString folder = installFolder.Get();
        if (!folder.empty()) {
            SetInstallFolder(folder.c_str());
        }
        // Whatever is stored, the spreadsheet parser is the only one there is.
        (void)parserType.Get();
        SetDefaultFileParserType(KVFileParserTypes::enFileParserExcel);
        SetMRUProfileIndex(mruIndex.Get());
        SetMRUProfileName(mruName.Get().c_str());

        ValidateRegValue(installFolder);
        ValidateRegValue(parserType);
        ValidateRegValue(mruIndex);
        ValidateRegValue(mruName);
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

BOOL KVDriverOptions::_SaveDefaultSettings() {
    if (GetDriverOptionType() != KVFileParserTypes::enFileParserDefault) {
        return FALSE;
    }
    try {
        // The installation owns a non-empty install folder; the library only
        // makes sure the value exists.
        if (GetInstallFolder()[0] == L'\0') {
            KVTRegistry_string<CString> installFolder(RegPath(L"InstallFolder").c_str(), HKEY_LOCAL_MACHINE);
            installFolder.Set(CString(GetInstallFolder()));
        }
        KVTRegistry_int<int> parserType(RegPath(L"DefaultFileParserType").c_str(), HKEY_CURRENT_USER);
        parserType.Set(static_cast<int>(GetDefaultFileParserType()));
        KVTRegistry_int<int> mruIndex(RegPath(L"MRUProfileIndex").c_str(), HKEY_CURRENT_USER);
        mruIndex.Set(static_cast<int>(GetMRUProfileIndex()));
        KVTRegistry_string<CString> mruName(RegPath(L"MRUProfileName").c_str(), HKEY_CURRENT_USER);
        mruName.Set(CString(GetMRUProfileName()));
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

void KVDriverOptions::_ClearDefaultOptions() {
    if (GetDriverOptionType() != KVFileParserTypes::enFileParserDefault) {
        return;
    }
    try {
        KVTRegistryValue(RegPath(L"InstallFolder").c_str(), HKEY_LOCAL_MACHINE).RemoveRegKey();
        KVTRegistryValue(RegPath(L"DefaultFileParserType").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
        KVTRegistryValue(RegPath(L"MRUProfileIndex").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
        KVTRegistryValue(RegPath(L"MRUProfileName").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
    } catch (const std::exception&) {
    }
}
