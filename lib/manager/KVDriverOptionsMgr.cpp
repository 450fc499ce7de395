#include "lib/manager/KVDriverOptionsMgr.h"

#include <algorithm>
#include <cwchar>
#include <exception>
#include <memory>
#include <string>

#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/registry/KVTRegistryValue.h"
#include "lib/util/KVText.h"
#include "lib/xml/KVProfileXmlFile.h"
#include "platform/base/TextCodec.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBox.h"

namespace {

// Every numbered profile key below the spreadsheet root (the default
// profile's -1 excluded), whether or not the numbering has gaps.
std::vector<long> StoredProfileIndexes() {
    std::vector<long> indexes;
    CString root(KVDriverOptions::msc_sExcelRegRoot);
    root.pop_back();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, root.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return indexes;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD length = 256;
        const LONG result = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) {
            continue;
        }
        if (result != ERROR_SUCCESS) {
            break;
        }
        // Only plain decimal names are profile keys ("1", not "01" or "+1").
        const std::wstring text(name);
        if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == L'0') ||
            !std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            continue;
        }
        indexes.push_back(std::stol(text));
    }
    RegCloseKey(key);
    return indexes;
}

CString StoredProfileNamePath(long index) {
    return CString(KVDriverOptions::msc_sExcelRegRoot) + std::to_wstring(index) + L"\\ProfileName";
}

void DeleteAll(std::vector<KVXmlProfile*>& profiles) {
    for (auto it = profiles.rbegin(); it != profiles.rend(); ++it) {
        delete *it;
    }
    profiles.clear();
}

}  // namespace

KVDriverOptionsMgr::KVDriverOptionsMgr() {
    try {
        m_pDefaultOptions = new KVDriverOptions();
        m_pDefaultOptions->_LoadDefaultSettings();

        auto* defaultProfile = new KVDriverOptionsExcel();
        m_pDefaultProfile = defaultProfile;
        defaultProfile->LoadDefaultValues();
        defaultProfile->SetProfileName(L"Default");
        defaultProfile->SetProfileIndex(-1);
        {
            // One write to the store instead of one per value.
            sw::registry::Transaction transaction(HKEY_CURRENT_USER);
            defaultProfile->SaveSettings();
            transaction.Commit();
        }
        LoadSettings();
    } catch (const std::exception&) {
        // A manager without its stored profiles is still usable; the store
        // is left untouched.
        if (m_pDefaultOptions == nullptr) {
            m_pDefaultOptions = new (std::nothrow) KVDriverOptions();
        }
    }
}

KVDriverOptionsMgr::~KVDriverOptionsMgr() {
    delete m_pDefaultOptions;
    delete m_pDefaultProfile;
    for (auto it = m_arrProfiles.rbegin(); it != m_arrProfiles.rend(); ++it) {
        delete *it;
    }
    for (auto it = m_arrDiscard.rbegin(); it != m_arrDiscard.rend(); ++it) {
        delete *it;
    }
}

KVDriverOptions* KVDriverOptionsMgr::GetDefaultDriverOptions() {
    return m_pDefaultOptions;
}

KVDriverOptionsProfile* KVDriverOptionsMgr::GetDefaultExcelDriverOptions() {
    return m_pDefaultProfile;
}

KVDriverOptionsProfile* KVDriverOptionsMgr::CreateNewDriverOption(KVFileParserTypes::enFileParserType type,
                                                                  LPCTSTR name) {
    if (type != KVFileParserTypes::enFileParserExcel) {
        return nullptr;
    }
    try {
        auto profile = std::make_unique<KVDriverOptionsExcel>();
        profile->LoadDefaultValues();
        m_arrProfiles.push_back(profile.get());
        KVDriverOptionsProfile* created = profile.release();
        created->SetProfileName(name);
        created->SetProfileIndex(GetNextProfileIndex(KVFileParserTypes::enFileParserExcel));
        return created;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void KVDriverOptionsMgr::DisposeDiscardList() {
    while (!m_arrDiscard.empty()) {
        KVDriverOptionsProfile* profile = m_arrDiscard.back();
        profile->ClearOptions();
        m_arrDiscard.pop_back();
        // An imported profile that is still listed for the caller must not
        // dangle there.
        m_arrImport.erase(std::remove(m_arrImport.begin(), m_arrImport.end(), profile), m_arrImport.end());
        delete profile;
    }
}

void KVDriverOptionsMgr::LoadSettings() {
    try {
        DisposeDiscardList();
        if (m_pDefaultProfile != nullptr) {
            m_pDefaultProfile->LoadSettings();
        }
        for (long i = 0;; ++i) {
            KVTRegistry_string<CString> name(StoredProfileNamePath(i).c_str(), HKEY_CURRENT_USER);
            if (!name.DoesKeyExist()) {
                break;
            }
            auto profile = std::make_unique<KVDriverOptionsExcel>();
            profile->LoadDefaultValues();
            m_arrProfiles.push_back(profile.get());
            KVDriverOptionsProfile* loaded = profile.release();
            loaded->SetProfileName(name.Get().c_str());
            loaded->SetProfileIndex(i);
            loaded->LoadSettings();
        }
    } catch (const std::exception&) {
    }
}

void KVDriverOptionsMgr::SaveSettings(KVDriverOptionsProfile* mru) {
    // A profile on its way out (removed, or imported and never kept) is
    // deleted below and is no stored profile: it cannot become the most
    // recently used one.
    if (std::find(m_arrDiscard.begin(), m_arrDiscard.end(), mru) != m_arrDiscard.end()) {
        mru = nullptr;
    }
    try {
        {
            // Clearing every profile and writing the list again is one change:
            // a crash or a failed write in between must never leave the user
            // with fewer stored profiles than before.
            sw::registry::Transaction transaction(HKEY_CURRENT_USER);
            if (transaction.Status() != ERROR_SUCCESS) {
                return;
            }
            const unsigned long failedBefore = KVTRegistryValue::GetFailedWriteCount();

            DisposeDiscardList();
            GiveEveryProfileItsOwnName();
            for (KVDriverOptionsProfile* profile : m_arrProfiles) {
                profile->ClearOptions();
            }
            // A profile's index need not be its stored key (a copy of an
            // imported profile carries index -1), so every stored profile key
            // goes as well; otherwise anchors of the replaced profile beyond
            // the new count, or a whole stale profile, would come back.
            for (long index : StoredProfileIndexes()) {
                KVDriverOptionsExcel stored;
                stored.SetProfileIndex(index);
                stored.ClearOptions();
            }
            for (std::size_t i = 0; i < m_arrProfiles.size(); ++i) {
                m_arrProfiles[i]->SetProfileIndex(static_cast<long>(i));
                m_arrProfiles[i]->SaveSettings();
            }
            if (KVTRegistryValue::GetFailedWriteCount() != failedBefore) {
                return;  // the transaction's destructor rolls everything back
            }
            if (transaction.Commit() != ERROR_SUCCESS) {
                return;
            }
        }
        // Outside the scope: the most recently used entry may touch the
        // machine's hive, which a user may not be allowed to write.
        SetMRUProfile(mru);
    } catch (const std::exception&) {
    }
}

void KVDriverOptionsMgr::RemoveProfile(KVDriverOptionsProfile*& profile) {
    if (profile == nullptr || profile == m_pDefaultProfile) {
        return;
    }
    const auto it = std::find(m_arrProfiles.begin(), m_arrProfiles.end(), profile);
    if (it == m_arrProfiles.end()) {
        return;
    }
    try {
        m_arrDiscard.reserve(m_arrDiscard.size() + 1);
    } catch (const std::exception&) {
        return;
    }
    m_arrProfiles.erase(it);
    m_arrDiscard.push_back(profile);
    profile = nullptr;
}

long KVDriverOptionsMgr::GetExcelProfileCount() const {
    return static_cast<long>(m_arrProfiles.size());
}

KVDriverOptionsProfile* KVDriverOptionsMgr::GetExcelProfile(LPCTSTR name) {
    if (name == nullptr || name[0] == L'\0') {
        return nullptr;
    }
    for (KVDriverOptionsProfile* profile : m_arrProfiles) {
        if (kvlib::EqualsNoCase(profile->GetProfileName(), name)) {
            return profile;
        }
    }
    return nullptr;
}

KVDriverOptionsProfile* KVDriverOptionsMgr::GetExcelProfile(long index) {
    if (index < 0 || index >= GetExcelProfileCount()) {
        return nullptr;
    }
    return m_arrProfiles[static_cast<std::size_t>(index)];
}

KVDriverOptionsProfile* KVDriverOptionsMgr::GetMRUProfile() {
    const long index = m_pDefaultOptions->GetMRUProfileIndex();
    if (index == -1) {
        return m_pDefaultProfile;
    }
    if (m_pDefaultOptions->GetDefaultFileParserType() != KVFileParserTypes::enFileParserExcel) {
        return m_pDefaultProfile;
    }
    if (index < 0 || index >= GetExcelProfileCount()) {
        return m_pDefaultProfile;
    }
    KVDriverOptionsProfile* profile = m_arrProfiles[static_cast<std::size_t>(index)];
    const wchar_t* name = m_pDefaultOptions->GetMRUProfileName();
    if (name[0] != L'\0' && kvlib::EqualsNoCase(name, profile->GetProfileName())) {
        return profile;
    }
    return m_pDefaultProfile;
}

const KVProfileArray& KVDriverOptionsMgr::ImportProfiles(LPCTSTR path) {
    m_arrImport.clear();
    m_strImportError.clear();
    std::vector<KVXmlProfile*> loaded;
    try {
        bool ok = false;
        {
            KVProfileXmlFile file(&loaded);
            ok = file.LoadProfileFile(path);
            m_strImportError = file.GetLoadError();
        }
        if (ok && !loaded.empty()) {
            bool warned = false;
            m_arrImport.reserve(loaded.size());
            m_arrDiscard.reserve(m_arrDiscard.size() + loaded.size());
            for (KVXmlProfile*& xml : loaded) {
                if (xml->GetProfileType() == KVFileParserTypes::enFileParserExcel) {
                    auto* profile = new KVDriverOptionsExcel();
                    profile->FromXml(xml);
                    m_arrImport.push_back(profile);
                    m_arrDiscard.push_back(profile);
                } else if (!warned) {
                    warned = true;
                    AfxMessageBox(
                        L"Encountered an unknown profile type during import.  The profile will not be "
                        L"imported.",
                        MB_OK);
                }
                delete xml;
                xml = nullptr;
            }
        }
        if (ok && m_arrImport.empty()) {
            m_strImportError = L"no profile is of the spreadsheet type";
        }
    } catch (const std::exception& e) {
        m_strImportError = L"the profiles could not be read: " + sw::base::FromUtf8OrCp1252(e.what());
    }
    DeleteAll(loaded);
    return m_arrImport;
}

bool KVDriverOptionsMgr::ExportProfiles(const KVProfileArray* profiles, LPCTSTR path) {
    if (profiles == nullptr) {
        return false;
    }
    std::vector<KVXmlProfile*> out;
    bool result = false;
    try {
        out.reserve(profiles->size());
        for (const KVDriverOptionsProfile* profile : *profiles) {
            // A nameless entry would make the whole file unreadable on import.
            if (profile == nullptr) {
                continue;
            }
            auto* xml = new KVXmlProfile();
            out.push_back(xml);
            profile->ToXml(xml);
        }
        KVProfileXmlFile file(&out);
        result = file.SaveProfileFile(path);
    } catch (const std::exception&) {
        result = false;
    }
    DeleteAll(out);
    return result;
}

const KVProfileArray& KVDriverOptionsMgr::GetExcelProfileArray() const {
    return m_arrProfiles;
}

bool KVDriverOptionsMgr::DoesProfileExist(LPCTSTR name) const {
    if (name == nullptr) {
        return false;
    }
    if (m_pDefaultProfile != nullptr && kvlib::EqualsNoCase(m_pDefaultProfile->GetProfileName(), name)) {
        return true;
    }
    for (const KVDriverOptionsProfile* profile : m_arrProfiles) {
        if (kvlib::EqualsNoCase(profile->GetProfileName(), name)) {
            return true;
        }
    }
    return false;
}

CString KVDriverOptionsMgr::GetFreeProfileName(LPCTSTR name) const {
    const CString base = name != nullptr ? name : L"";
    const auto taken = [this](const CString& candidate) {
        return DoesProfileExist(candidate.c_str()) ||
               std::any_of(m_arrImport.begin(), m_arrImport.end(),
                           [&](const KVDriverOptionsProfile* imported) {
                               return kvlib::EqualsNoCase(imported->GetProfileName(), candidate.c_str());
                           });
    };
    for (long number = 2;; ++number) {
        // The number stays whole in a name that fills the name's room.
        const CString suffix = L" (" + std::to_wstring(number) + L")";
        CString candidate =
            base.substr(0, static_cast<std::size_t>(KV_TEXT_CAPACITY - 1) - suffix.size()) + suffix;
        if (!taken(candidate)) {
            return candidate;
        }
    }
}

void KVDriverOptionsMgr::GiveEveryProfileItsOwnName() {
    for (std::size_t i = 0; i < m_arrProfiles.size(); ++i) {
        KVDriverOptionsProfile* profile = m_arrProfiles[i];
        const wchar_t* name = profile->GetProfileName();
        bool shared =
            m_pDefaultProfile != nullptr && kvlib::EqualsNoCase(m_pDefaultProfile->GetProfileName(), name);
        for (std::size_t j = 0; j < i && !shared; ++j) {
            shared = kvlib::EqualsNoCase(m_arrProfiles[j]->GetProfileName(), name);
        }
        if (shared) {
            profile->SetProfileName(GetFreeProfileName(name).c_str());
        }
    }
}

void KVDriverOptionsMgr::SetMRUProfile(KVDriverOptionsProfile* profile) {
    if (profile == nullptr) {
        return;
    }
    m_pDefaultOptions->SetMRUProfileIndex(profile->GetProfileIndex());
    m_pDefaultOptions->SetMRUProfileName(profile->GetProfileName());
    m_pDefaultOptions->SetDefaultFileParserType(profile->GetDriverOptionType());
    m_pDefaultOptions->_SaveDefaultSettings();
}

long KVDriverOptionsMgr::GetNextProfileIndex(KVFileParserTypes::enFileParserType type) {
    return type == KVFileParserTypes::enFileParserExcel ? static_cast<long>(m_arrProfiles.size()) : 0;
}
