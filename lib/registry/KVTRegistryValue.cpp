#include "lib/registry/KVTRegistryValue.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

namespace {
thread_local unsigned long t_failedWrites = 0;
}

KVTRegistryValue::KVTRegistryValue(LPCTSTR path, HKEY root) : m_hRootKey(root) {
    MakeRegPath(path);
}

KVTRegistryValue::KVTRegistryValue(const KVTRegistryValue& other) = default;
KVTRegistryValue& KVTRegistryValue::operator=(const KVTRegistryValue& other) = default;

KVTRegistryValue::~KVTRegistryValue() {
    Close();
}

void KVTRegistryValue::MakeRegPath(LPCTSTR path) {
    const CString text = path != nullptr ? CString(path) : CString();
    const auto slash = text.rfind(L'\\');
    if (slash == CString::npos) {
        m_sKeyName.clear();
        m_sValueName = text;
    } else {
        m_sKeyName = text.substr(0, slash);
        m_sValueName = text.substr(slash + 1);
    }
}

bool KVTRegistryValue::Open(bool create) const {
    Close();
    if (create) {
        DWORD disposition = 0;
        wchar_t emptyClass[1] = {L'\0'};
        if (RegCreateKeyExW(m_hRootKey, m_sKeyName.c_str(), 0, emptyClass, 0, KEY_WRITE, nullptr, &m_hKey,
                            &disposition) == ERROR_SUCCESS) {
            return true;
        }
        m_hKey = nullptr;
    }
    if (RegOpenKeyExW(m_hRootKey, m_sKeyName.c_str(), 0, KEY_READ, &m_hKey) == ERROR_SUCCESS) {
        return true;
    }
    m_hKey = nullptr;
    return false;
}

void KVTRegistryValue::Close() const {
    if (m_hKey != nullptr) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

bool KVTRegistryValue::QueryValue(DWORD* type, DWORD* size, BYTE* data) const {
    if (m_hKey == nullptr) {
        return false;
    }
    return RegQueryValueExW(m_hKey, m_sValueName.c_str(), nullptr, type, data, size) == ERROR_SUCCESS;
}

bool KVTRegistryValue::SetValue(DWORD type, DWORD size, const BYTE* data) {
    if (m_hKey == nullptr) {
        return false;
    }
    return RegSetValueExW(m_hKey, m_sValueName.c_str(), 0, type, data, size) == ERROR_SUCCESS;
}

bool KVTRegistryValue::DoesKeyExist() const {
    if (!Open(false)) {
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    const bool found = QueryValue(&type, &size, nullptr);
    Close();
    return found;
}

void KVTRegistryValue::RemoveRegValue() {
    if (!Open(true)) {
        return;
    }
    RegDeleteValueW(m_hKey, m_sValueName.c_str());
    Close();
}

void KVTRegistryValue::RemoveRegKey() {
    RegDeleteKeyW(m_hRootKey, m_sKeyName.c_str());
}

unsigned long KVTRegistryValue::GetFailedWriteCount() {
    return t_failedWrites;
}

void KVTRegistryValue::NoteFailedWrite() {
    ++t_failedWrites;
}

// ---- Text -------------------------------------------------------------------

template <class T>
KVTRegistry_string<T>::~KVTRegistry_string() = default;

template <class T>
T KVTRegistry_string<T>::Get() const {
    T result;
    if (!Open(false)) {
        return result;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (QueryValue(&type, &size, nullptr) && size > 0) {
        try {
            // Twice the stored size leaves room for a terminator that the data
            // itself may lack, whatever type the bytes were stored under.
            std::vector<BYTE> buffer(static_cast<std::size_t>(size) * 2 + sizeof(wchar_t), 0);
            DWORD got = static_cast<DWORD>(buffer.size());
            if (QueryValue(&type, &got, buffer.data())) {
                const std::size_t chars = got / sizeof(wchar_t);
                std::vector<wchar_t> text(chars + 1, L'\0');
                std::memcpy(text.data(), buffer.data(), chars * sizeof(wchar_t));
                result = T(text.data());
            }
        } catch (const std::bad_alloc&) {
            result = T();
        }
    }
    Close();
    return result;
}

template <class T>
void KVTRegistry_string<T>::Set(const T& value) {
    if (!Open(true)) {
        NoteFailedWrite();
        return;
    }
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    if (!SetValue(REG_SZ, bytes, reinterpret_cast<const BYTE*>(value.c_str()))) {
        NoteFailedWrite();
    }
    Close();
}

// Integers and flags share one stored form: a REG_DWORD that reads as 0 when
// it is missing or unreadable.
std::int32_t KVTRegistryValue::ReadInt32() const {
    std::int32_t value = 0;
    if (Open(false)) {
        DWORD type = 0;
        DWORD size = sizeof(value);
        if (!QueryValue(&type, &size, reinterpret_cast<BYTE*>(&value))) {
            value = 0;
        }
        Close();
    }
    return value;
}

void KVTRegistryValue::WriteInt32(std::int32_t value) {
    if (!Open(true)) {
        NoteFailedWrite();
        Close();
        return;
    }
    if (!SetValue(REG_DWORD, sizeof(value), reinterpret_cast<const BYTE*>(&value))) {
        NoteFailedWrite();
    }
    Close();
}

// ---- Integer ----------------------------------------------------------------

template <class T>
KVTRegistry_int<T>::~KVTRegistry_int() = default;

template <class T>
T KVTRegistry_int<T>::Get() const {
    return static_cast<T>(ReadInt32());
}

template <class T>
void KVTRegistry_int<T>::Set(T value) {
    WriteInt32(static_cast<std::int32_t>(value));
}

// ---- Flag -------------------------------------------------------------------

template <class T>
KVTRegistry_BOOL<T>::~KVTRegistry_BOOL() = default;

template <class T>
T KVTRegistry_BOOL<T>::Get() const {
    return ReadInt32() != 0 ? T(1) : T(0);
}

template <class T>
void KVTRegistry_BOOL<T>::Set(T value) {
    WriteInt32(static_cast<std::int32_t>(value));
}

template class KVTRegistry_string<CString>;
template class KVTRegistry_int<int>;
template class KVTRegistry_BOOL<int>;
