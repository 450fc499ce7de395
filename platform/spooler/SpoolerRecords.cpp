#include "platform/spooler/SpoolerRecords.h"

#include <cwchar>

#include "platform/registry/Registry.h"

namespace sw::spooler::records {
namespace {

// A key opened for one act and closed again.
class Key {
public:
    Key(const std::wstring& path, REGSAM access, bool create) {
        if (create) {
            status_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access, nullptr, &key_,
                                      nullptr);
        } else {
            status_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key_);
        }
        if (status_ != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }
    long status() const { return status_; }

private:
    HKEY key_ = nullptr;
    long status_ = ERROR_SUCCESS;
};

}  // namespace

std::wstring Join(const std::wstring& key, const std::wstring& name) {
    return key + L"\\" + name;
}

long SetText(const std::wstring& key, const std::wstring& value, const std::wstring& text) {
    const Key k(key, KEY_WRITE, true);
    if (k.get() == nullptr) {
        return k.status();
    }
    return RegSetValueExW(k.get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::wstring> GetText(const std::wstring& key, const std::wstring& value) {
    const Key k(key, KEY_READ, false);
    if (k.get() == nullptr) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(k.get(), value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(k.get(), value.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(text.data()),
                         &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
    return text;
}

bool KeyExists(const std::wstring& key) {
    return Key(key, KEY_READ, false).get() != nullptr;
}

std::vector<std::wstring> SubKeys(const std::wstring& key) {
    std::vector<std::wstring> names;
    const Key k(key, KEY_READ, false);
    if (k.get() == nullptr) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(k.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, chars);
    }
    return names;
}

std::vector<std::pair<std::wstring, std::wstring>> TextValues(const std::wstring& key) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    std::vector<std::wstring> names;
    {
        const Key k(key, KEY_READ, false);
        if (k.get() == nullptr) {
            return values;
        }
        for (DWORD i = 0;; ++i) {
            wchar_t name[1024];
            DWORD chars = 1024;
            if (RegEnumValueW(k.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, chars);
        }
    }
    for (const std::wstring& name : names) {
        if (auto text = GetText(key, name)) {
            values.emplace_back(name, *text);
        }
    }
    return values;
}

long DeleteValue(const std::wstring& key, const std::wstring& value) {
    const Key k(key, KEY_WRITE, false);
    if (k.get() == nullptr) {
        return k.status();
    }
    return RegDeleteValueW(k.get(), value.c_str());
}

long DeleteTree(const std::wstring& key) {
    for (const std::wstring& sub : SubKeys(key)) {
        const long status = DeleteTree(Join(key, sub));
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return wcscasecmp(a.c_str(), b.c_str()) == 0;
}

std::optional<std::wstring> FindName(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& candidate : names) {
        if (SameText(candidate, name)) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace sw::spooler::records
