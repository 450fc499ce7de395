// One stored setting, addressed by "key path\value name" under a root key.
// Every operation opens the key, acts once and closes it again; no handle
// outlives an operation.
#pragma once

#include <cstdint>

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"
#include "platform/registry/Registry.h"

class KVLIB_API KVTRegistryValue {
public:
    KVTRegistryValue(LPCTSTR path, HKEY root);
    KVTRegistryValue(const KVTRegistryValue& other);
    KVTRegistryValue& operator=(const KVTRegistryValue& other);
    virtual ~KVTRegistryValue();

    // Whether the value (not merely its key) exists.
    bool DoesKeyExist() const;
    void RemoveRegValue();
    // Deletes the key itself; a key that still has subkeys stays.
    void RemoveRegKey();

    const CString& GetRegKeyName() const { return m_sKeyName; }
    const CString& GetRegValName() const { return m_sValueName; }

    // Number of value writes in this thread that could not be carried out.
    // A caller that must store all or nothing compares it before and after.
    static unsigned long GetFailedWriteCount();

protected:
    // The option classes work on values directly, as the typed templates do.
    friend class KVDriverOptions;
    friend class KVDriverOptionsProfile;
    friend class KVDriverOptionsExcel;
    friend class KVDriverOptionsMgr;

    bool Open(bool create) const;
    void Close() const;
    bool QueryValue(DWORD* type, DWORD* size, BYTE* data) const;
    bool SetValue(DWORD type, DWORD size, const BYTE* data);
    static void NoteFailedWrite();
    std::int32_t ReadInt32() const;
    void WriteInt32(std::int32_t value);

private:
    void MakeRegPath(LPCTSTR path);

    mutable HKEY m_hKey = nullptr;
    HKEY m_hRootKey = nullptr;
    CString m_sValueName;
    CString m_sKeyName;
};

// Text stored as REG_SZ.
template <class T>
class KVLIB_API KVTRegistry_string : public KVTRegistryValue {
public:
    KVTRegistry_string(LPCTSTR path, HKEY root) : KVTRegistryValue(path, root) {}
    virtual ~KVTRegistry_string();
    T Get() const;
    void Set(const T& value);
};

// A signed 32-bit integer stored as REG_DWORD.
template <class T>
class KVLIB_API KVTRegistry_int : public KVTRegistryValue {
public:
    KVTRegistry_int(LPCTSTR path, HKEY root) : KVTRegistryValue(path, root) {}
    virtual ~KVTRegistry_int();
    T Get() const;
    void Set(T value);
};

// A flag stored as REG_DWORD: read back as 0 or 1, written as given.
template <class T>
class KVLIB_API KVTRegistry_BOOL : public KVTRegistryValue {
public:
    KVTRegistry_BOOL(LPCTSTR path, HKEY root) : KVTRegistryValue(path, root) {}
    virtual ~KVTRegistry_BOOL();
    T Get() const;
    void Set(T value);
};

extern template class KVLIB_API KVTRegistry_string<CString>;
extern template class KVLIB_API KVTRegistry_int<int>;
extern template class KVLIB_API KVTRegistry_BOOL<int>;
