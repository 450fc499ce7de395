// A named, numbered profile: the abstract base of every conversion profile.
#pragma once

#include "lib/options/KVDriverOptions.h"

class KVXmlProfile;

class KVLIB_API KVDriverOptionsProfile : public KVDriverOptions {
public:
    KVDriverOptionsProfile();
    KVDriverOptionsProfile(const KVDriverOptionsProfile& other);
    KVDriverOptionsProfile& operator=(const KVDriverOptionsProfile& other);
    ~KVDriverOptionsProfile() override;

    BOOL LoadSettings() override;
    BOOL SaveSettings() override;
    void LoadDefaultValues() override;
    void ClearOptions() override;
    KVFileParserTypes::enFileParserType GetDriverOptionType() const override;

    virtual KVDriverOptionsProfile* Clone() const = 0;
    virtual void ToXml(KVXmlProfile* xml) const = 0;
    virtual void FromXml(KVXmlProfile* xml) = 0;
    virtual LPCTSTR GetProfileName() const;

    void SetProfileName(LPCTSTR name);
    long GetProfileIndex() const { return m_lProfileIndex; }
    void SetProfileIndex(long index) { m_lProfileIndex = index; }

protected:
    void InternalCopy(const KVDriverOptions& source) override;
    // The profile's registry key ending in a backslash; leaves `path` as it is
    // unless this is a spreadsheet profile.
    void GetProfileRegPath(CString* path) const;

private:
    wchar_t m_sProfileName[KV_TEXT_CAPACITY] = {};
    long m_lProfileIndex = -1;
};
