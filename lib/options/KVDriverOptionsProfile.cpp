#include "lib/options/KVDriverOptionsProfile.h"

#include <exception>
#include <string>

#include "lib/registry/KVTRegistryValue.h"
#include "lib/util/KVLibUtility.h"

KVDriverOptionsProfile::KVDriverOptionsProfile() = default;

KVDriverOptionsProfile::KVDriverOptionsProfile(const KVDriverOptionsProfile& other)
    : KVDriverOptionsProfile() {
    KVDriverOptionsProfile::InternalCopy(other);
}

KVDriverOptionsProfile& KVDriverOptionsProfile::operator=(const KVDriverOptionsProfile& other) {
    if (this != &other) {
        InternalCopy(other);
    }
    return *this;
}

KVDriverOptionsProfile::~KVDriverOptionsProfile() = default;

LPCTSTR KVDriverOptionsProfile::GetProfileName() const {
    return m_sProfileName;
}

void KVDriverOptionsProfile::SetProfileName(LPCTSTR name) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(name, m_sProfileName, KV_TEXT_CAPACITY);
}

KVFileParserTypes::enFileParserType KVDriverOptionsProfile::GetDriverOptionType() const {
    return KVFileParserTypes::enFileParserNone;
}

void KVDriverOptionsProfile::LoadDefaultValues() {
    KVDriverOptions::LoadDefaultValues();
}

void KVDriverOptionsProfile::GetProfileRegPath(CString* path) const {
    if (path == nullptr || GetDriverOptionType() != KVFileParserTypes::enFileParserExcel) {
        return;
    }
    *path = CString(msc_sExcelRegRoot) + std::to_wstring(m_lProfileIndex) + L"\\";
}

BOOL KVDriverOptionsProfile::LoadSettings() {
    try {
        CString key;
        GetProfileRegPath(&key);
        KVTRegistry_string<CString> name((key + L"ProfileName").c_str(), HKEY_CURRENT_USER);
        SetProfileName(name.Get().c_str());
        ValidateRegValue(name);
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

BOOL KVDriverOptionsProfile::SaveSettings() {
    try {
        CString key;
        GetProfileRegPath(&key);
        KVTRegistry_string<CString> name((key + L"ProfileName").c_str(), HKEY_CURRENT_USER);
        name.Set(CString(GetProfileName()));
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

void KVDriverOptionsProfile::ClearOptions() {
    try {
        CString key;
        GetProfileRegPath(&key);
        if (key.empty()) {
            return;  // never a root key
        }
        // The value name is empty: the path names the profile key itself.
        KVTRegistryValue(key.c_str(), HKEY_CURRENT_USER).RemoveRegKey();
    } catch (const std::exception&) {
    }
}

void KVDriverOptionsProfile::InternalCopy(const KVDriverOptions& source) {
    KVDriverOptions::InternalCopy(source);
    if (const auto* profile = dynamic_cast<const KVDriverOptionsProfile*>(&source)) {
        KVLibUtility::CopyLPCTSTRToLPTSTR(profile->m_sProfileName, m_sProfileName, KV_TEXT_CAPACITY);
        m_lProfileIndex = profile->m_lProfileIndex;
    }
}
