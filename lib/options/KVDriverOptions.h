// The driver-wide options: install folder, default parser type and the most
// recently used profile; the root of the profile classes.
#pragma once

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"

class KVTRegistryValue;

class KVLIB_API KVFileParserTypes {
public:
    enum enFileParserType {
        enFileParserNone = 0,
        enFileParserDefault = 1,
        enFileParserExcel = 2,
    };
};

class KVLIB_API KVDriverOptions {
public:
    // Registry roots; both end in a backslash so value names append directly.
    static const wchar_t* const msc_sRegRoot;
    static const wchar_t* const msc_sExcelRegRoot;

    KVDriverOptions();
    KVDriverOptions(const KVDriverOptions& other);
    KVDriverOptions& operator=(const KVDriverOptions& other);

    // The virtual operations are part of the binary interface: keep their order.
    virtual ~KVDriverOptions();
    virtual void CopyFrom(const KVDriverOptions& source);
    virtual LPCTSTR GetInstallFolder() const;
    virtual void SetInstallFolder(LPCTSTR folder);
    virtual KVFileParserTypes::enFileParserType GetDefaultFileParserType() const;
    virtual void SetDefaultFileParserType(KVFileParserTypes::enFileParserType type);
    virtual long GetMRUProfileIndex() const;
    virtual void SetMRUProfileIndex(long index);
    virtual LPCTSTR GetMRUProfileName() const;
    virtual void SetMRUProfileName(LPCTSTR name);
    virtual BOOL LoadSettings();
    virtual BOOL SaveSettings();
    virtual void LoadDefaultValues();
    virtual void ClearOptions();
    virtual KVFileParserTypes::enFileParserType GetDriverOptionType() const;

protected:
    virtual void WriteErrorLog(LPCTSTR message);
    virtual bool ValidateRegValue(const KVTRegistryValue& value);
    virtual void InternalCopy(const KVDriverOptions& source);

public:
    // The driver-wide values; they act only on an object of the default type.
    BOOL _LoadDefaultSettings();
    BOOL _SaveDefaultSettings();
    void _ClearDefaultOptions();

private:
    wchar_t m_sInstallFolder[KV_TEXT_CAPACITY] = {};
    KVFileParserTypes::enFileParserType m_enDefaultFileParserType = KVFileParserTypes::enFileParserNone;
    long m_lMRUProfileIndex = 0;
    wchar_t m_sMRUProfileName[KV_TEXT_CAPACITY] = {};
};
