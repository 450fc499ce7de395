#include "platform/registry/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/registry/Hive.h"
#include "platform/registry/Text.h"

namespace sw::registry {

using detail::Db;
using detail::FoldKey;
using detail::Hive;
using detail::kRootKeyId;
using detail::Statement;

namespace {

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::int64_t kFiletimeOfUnixEpoch = 116444736000000000LL;

struct Handle {
    std::shared_ptr<Hive> hive;  // null: HKEY_USERS itself
    std::int64_t id = kRootKeyId;
    REGSAM sam = KEY_ALL_ACCESS;
};

struct LoadedHive {
    std::wstring name;
    std::shared_ptr<Hive> hive;
};

struct State {
    std::recursive_mutex mutex;
    std::map<std::string, std::shared_ptr<Hive>> hives;  // HKCU / HKLM files by path
    std::map<std::string, LoadedHive> loaded;            // HKEY_USERS mounts by folded name
    std::unordered_map<HKEY, std::unique_ptr<Handle>> handles;
};

// Never destroyed: static destructors elsewhere may still close handles.
State& Global() {
    static State* state = new State;
    return *state;
}

// ---- Where the hives live ---------------------------------------------------

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/";
}

std::string UserHivePath() {
    if (std::string dir = Env("SHEETWISE_REGISTRY_DIR"); !dir.empty()) {
        return WithoutTrailingSlash(dir) + "/user.db";
    }
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {  // relative values are to be ignored
        config = HomeFolder() + "/.config";
    }
    return WithoutTrailingSlash(config) + "/sheetwise/user.db";
}

std::string MachineHivePath() {
    if (std::string dir = Env("SHEETWISE_REGISTRY_DIR"); !dir.empty()) {
        return WithoutTrailingSlash(dir) + "/machine.db";
    }
    return "/var/lib/sheetwise/machine.db";
}

std::shared_ptr<Hive> HiveAt(const std::string& path) {
    auto& slot = Global().hives[path];
    if (!slot) {
        slot = std::make_shared<Hive>(path);
    }
    return slot;
}

bool IsPredefined(HKEY key) {
    auto bits = reinterpret_cast<std::uintptr_t>(key);
    return bits >= 0x80000000U && bits <= 0x80000006U;
}

LONG Resolve(HKEY key, Handle& out) {
    if (key == HKEY_CURRENT_USER) {
        out = Handle{HiveAt(UserHivePath()), kRootKeyId, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    if (key == HKEY_LOCAL_MACHINE) {
        out = Handle{HiveAt(MachineHivePath()), kRootKeyId, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    if (key == HKEY_USERS) {
        out = Handle{nullptr, 0, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    if (IsPredefined(key)) {
        return ERROR_INVALID_HANDLE;
    }
    auto found = Global().handles.find(key);
    if (found == Global().handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    out = *found->second;
    return ERROR_SUCCESS;
}

HKEY NewHandle(Handle handle) {
    auto owned = std::make_unique<Handle>(std::move(handle));
    auto key = reinterpret_cast<HKEY>(owned.get());
    Global().handles.emplace(key, std::move(owned));
    return key;
}

// ---- Names ------------------------------------------------------------------

// Splits a subkey path at "\". One trailing separator is tolerated; an empty
// name anywhere else (a leading or doubled separator) is refused.
LONG SplitPath(LPCWSTR path, std::vector<std::wstring>& parts) {
    parts.clear();
    if (!path || !*path) {
        return ERROR_SUCCESS;
    }
    std::wstring_view rest(path);
    if (rest.back() == L'\\') {
        rest.remove_suffix(1);
    }
    for (;;) {
        auto sep = rest.find(L'\\');
        std::wstring_view part = rest.substr(0, sep);
        if (part.empty() || part.size() > kMaxKeyNameLength) {
            return ERROR_INVALID_PARAMETER;
        }
        parts.emplace_back(part);
        if (sep == std::wstring_view::npos) {
            return ERROR_SUCCESS;
        }
        rest.remove_prefix(sep + 1);
    }
}

std::wstring_view ValueName(LPCWSTR name) {
    return name ? std::wstring_view(name) : std::wstring_view();
}

// Where a subkey path leads: the hive, the key to start from and the names
// below it. Below HKEY_USERS the first name picks a loaded hive.
struct Place {
    std::shared_ptr<Hive> hive;  // null: HKEY_USERS itself
    std::int64_t start = kRootKeyId;
    std::vector<std::wstring> names;
};

LONG Locate(const Handle& from, std::vector<std::wstring> names, Place& place, LONG missingMount) {
    if (from.hive) {
        place = Place{from.hive, from.id, std::move(names)};
        return ERROR_SUCCESS;
    }
    if (names.empty()) {
        place = Place{};
        return ERROR_SUCCESS;
    }
    auto found = Global().loaded.find(FoldKey(names.front()));
    if (found == Global().loaded.end()) {
        return missingMount;
    }
    names.erase(names.begin());
    place = Place{found->second.hive, kRootKeyId, std::move(names)};
    return ERROR_SUCCESS;
}

// Resolves `key`, splits `subKey` and finds the hive that holds it. `missingMount`
// is returned for a name directly below HKEY_USERS that names no loaded hive.
LONG LocateSubKey(HKEY key, LPCWSTR subKey, LONG missingMount, Handle& from, Place& place) {
    std::vector<std::wstring> names;
    LONG rc = Resolve(key, from);
    if (rc == ERROR_SUCCESS) {
        rc = SplitPath(subKey, names);
    }
    if (rc == ERROR_SUCCESS) {
        rc = Locate(from, std::move(names), place, missingMount);
    }
    return rc;
}

// ---- Rows -------------------------------------------------------------------

std::int64_t NowFiletime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100 + kFiletimeOfUnixEpoch;
}

void PutFiletime(PFILETIME out, std::int64_t stamp) {
    if (out) {
        out->dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(stamp) & 0xFFFFFFFFU);
        out->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(stamp) >> 32);
    }
}

bool KeyExists(const Db& db, std::int64_t id) {
    Statement st(db, "SELECT 1 FROM keys WHERE id = ?");
    st.Bind(1, id);
    return st.Step();
}

std::optional<std::int64_t> FindChild(const Db& db, std::int64_t parent, std::wstring_view name) {
    Statement st(db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    st.Bind(1, parent).Bind(2, FoldKey(name));
    if (st.Step()) {
        return st.Int(0);
    }
    return std::nullopt;
}

void Touch(const Db& db, std::int64_t id) {
    Statement st(db, "UPDATE keys SET modified = ? WHERE id = ?");
    st.Bind(1, NowFiletime()).Bind(2, id);
    st.Run();
}

// Follows `names` from `start`; ERROR_FILE_NOT_FOUND at the first missing one.
LONG Walk(const Db& db, std::int64_t start, const std::vector<std::wstring>& names, std::int64_t& id) {
    if (!KeyExists(db, start)) {
        return ERROR_KEY_DELETED;
    }
    id = start;
    for (const auto& name : names) {
        auto child = FindChild(db, id, name);
        if (!child) {
            return ERROR_FILE_NOT_FOUND;
        }
        id = *child;
    }
    return ERROR_SUCCESS;
}

// Data as the caller sees it: string types as wchar_t text.
std::string ToCallerBytes(DWORD type, const std::string& stored) {
    if (!detail::IsStringType(type)) {
        return stored;
    }
    std::wstring text = sw::base::FromUtf16le(stored);
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string ToStoredBytes(DWORD type, const BYTE* data, DWORD size) {
    if (size == 0) {
        return {};
    }
    if (!detail::IsStringType(type)) {
        return std::string(reinterpret_cast<const char*>(data), size);
    }
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    return sw::base::ToUtf16le(text);
}

// The usual contract of a data buffer: no buffer asks for the size; a short
// one gets ERROR_MORE_DATA and the size needed.
LONG CopyData(const std::string& bytes, LPBYTE data, LPDWORD size) {
    auto needed = static_cast<DWORD>(bytes.size());
    if (!data) {
        if (size) {
            *size = needed;
        }
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) {
        std::memcpy(data, bytes.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

// Copies a name into a buffer counted in characters with room for its terminator.
LONG CopyName(const std::wstring& name, LPWSTR buffer, LPDWORD chars) {
    if (name.size() + 1 > *chars) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.data(), name.size() * sizeof(wchar_t));
    buffer[name.size()] = L'\0';
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void ClearClass(LPWSTR cls, LPDWORD chars) {
    if (cls && chars && *chars > 0) {
        cls[0] = L'\0';
    }
    if (chars) {
        *chars = 0;
    }
}

LONG NoRight(const char* what) {
    detail::SetLastErrorText(std::string("the key was not opened with the right to ") + what);
    return ERROR_ACCESS_DENIED;
}

template <class Work>
LONG Guarded(Work&& work) noexcept {
    try {
        std::lock_guard lock(Global().mutex);
        return work();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (const std::exception& e) {
        detail::SetLastErrorText(std::string("settings store: ") + e.what());
        return ERROR_CANTREAD;
    } catch (...) {
        return ERROR_CANTREAD;
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    struct stat sa {};
    struct stat sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

// ---- Transaction scope --------------------------------------------------------

Transaction::Transaction(HKEY root) {
    status_ = Guarded([&]() -> LONG {
        Handle handle;
        LONG rc = Resolve(root, handle);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!handle.hive) {
            return ERROR_INVALID_HANDLE;
        }
        hive_ = handle.hive;
        return handle.hive->BeginScope(level_);
    });
    if (level_ == 0) {
        done_ = true;  // nothing was started
    }
}

Transaction::~Transaction() {
    if (!done_) {
        Guarded([&]() -> LONG {
            static_cast<Hive*>(hive_.get())->RollbackScope(level_);
            return ERROR_SUCCESS;
        });
    }
}

LONG Transaction::Commit() {
    if (done_) {
        return status_ != ERROR_SUCCESS ? status_ : ERROR_INVALID_PARAMETER;
    }
    done_ = true;
    return Guarded([&]() -> LONG { return static_cast<Hive*>(hive_.get())->CommitScope(level_); });
}

std::string HiveFilePath(HKEY root) {
    try {
        std::lock_guard lock(Global().mutex);
        Handle handle;
        if (Resolve(root, handle) == ERROR_SUCCESS && handle.hive) {
            return handle.hive->Path();
        }
    } catch (...) {
    }
    return {};
}

std::string LastErrorText() {
    return detail::LastErrorTextOfThread();
}

void CloseAllConnections() {
    Guarded([]() -> LONG {
        for (auto& [path, hive] : Global().hives) {
            hive->Close();
        }
        for (auto& [name, loaded] : Global().loaded) {
            loaded.hive->Close();
        }
        return ERROR_SUCCESS;
    });
}

}  // namespace sw::registry

using namespace sw::registry;

// ---- Keys -------------------------------------------------------------------

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    return Guarded([&]() -> LONG {
        Handle from;
        Place place;
        LONG rc = LocateSubKey(hKey, lpSubKey, ERROR_FILE_NOT_FOUND, from, place);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!place.hive) {
            *phkResult = NewHandle(Handle{nullptr, 0, samDesired});
            return ERROR_SUCCESS;
        }
        std::int64_t id = 0;
        bool stored = false;
        rc = place.hive->Read([&] {
            stored = true;
            return Walk(place.hive->db(), place.start, place.names, id);
        });
        if (!stored && rc == ERROR_FILE_NOT_FOUND) {
            // No file yet: the hive's root exists and is empty.
            if (!place.names.empty()) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (place.start != kRootKeyId) {
                return ERROR_KEY_DELETED;
            }
            id = kRootKeyId;
            rc = ERROR_SUCCESS;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if ((samDesired & kWriteRights) && !place.hive->CanWrite()) {
            return ERROR_ACCESS_DENIED;
        }
        *phkResult = NewHandle(Handle{place.hive, id, samDesired});
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*Reserved*/, LPWSTR /*lpClass*/, DWORD /*dwOptions*/,
                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    return Guarded([&]() -> LONG {
        Handle from;
        Place place;
        // Keys directly below HKEY_USERS are the loaded hives only.
        LONG rc = LocateSubKey(hKey, lpSubKey, ERROR_ACCESS_DENIED, from, place);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!place.hive) {
            *phkResult = NewHandle(Handle{nullptr, 0, samDesired});
            if (lpdwDisposition) {
                *lpdwDisposition = REG_OPENED_EXISTING_KEY;
            }
            return ERROR_SUCCESS;
        }
        std::int64_t id = 0;
        bool created = false;
        rc = place.hive->Read([&] { return Walk(place.hive->db(), place.start, place.names, id); });
        if (rc == ERROR_FILE_NOT_FOUND) {
            if (!(from.sam & KEY_CREATE_SUB_KEY)) {
                return NoRight("create subkeys");
            }
            rc = place.hive->Write([&]() -> LONG {
                const Db& db = place.hive->db();
                if (!KeyExists(db, place.start)) {
                    return ERROR_KEY_DELETED;
                }
                id = place.start;
                for (const auto& name : place.names) {
                    if (auto child = FindChild(db, id, name)) {
                        id = *child;
                        continue;
                    }
                    Statement st(db, "INSERT INTO keys(parent, name, fold, modified) VALUES(?, ?, ?, ?)");
                    st.Bind(1, id)
                        .Bind(2, sw::base::ToUtf8(name))
                        .Bind(3, FoldKey(name))
                        .Bind(4, NowFiletime());
                    st.Run();
                    Touch(db, id);
                    id = db.LastInsertId();
                    created = true;
                }
                return ERROR_SUCCESS;
            });
        } else if (rc == ERROR_SUCCESS && (samDesired & kWriteRights) && !place.hive->CanWrite()) {
            return ERROR_ACCESS_DENIED;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        *phkResult = NewHandle(Handle{place.hive, id, samDesired});
        if (lpdwDisposition) {
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        }
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) {
        return ERROR_SUCCESS;
    }
    return Guarded(
        [&]() -> LONG { return Global().handles.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; });
}

LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        Handle from;
        Place place;
        LONG rc = LocateSubKey(hKey, lpSubKey, ERROR_FILE_NOT_FOUND, from, place);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!place.hive || (!from.hive && place.names.empty())) {
            return ERROR_ACCESS_DENIED;  // HKEY_USERS or a loaded hive's root
        }
        // Look first, so that a missing key reads as missing even where
        // nothing may be written.
        std::int64_t id = 0;
        rc = place.hive->Read([&] { return Walk(place.hive->db(), place.start, place.names, id); });
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        return place.hive->Write([&]() -> LONG {
            const Db& db = place.hive->db();
            LONG found = Walk(db, place.start, place.names, id);
            if (found != ERROR_SUCCESS) {
                return found;
            }
            Statement parent(db, "SELECT parent FROM keys WHERE id = ?");
            parent.Bind(1, id);
            if (!parent.Step() || id == kRootKeyId) {
                return ERROR_ACCESS_DENIED;
            }
            std::int64_t parentId = parent.Int(0);
            Statement children(db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
            children.Bind(1, id);
            if (children.Step()) {
                detail::SetLastErrorText("a key that has subkeys cannot be deleted");
                return ERROR_ACCESS_DENIED;  // as Windows answers for a key with subkeys
            }
            Statement values(db, "DELETE FROM vals WHERE key = ?");
            values.Bind(1, id).Run();
            Statement key(db, "DELETE FROM keys WHERE id = ?");
            key.Bind(1, id).Run();
            Touch(db, parentId);
            return ERROR_SUCCESS;
        });
    });
}

// ---- Values -------------------------------------------------------------------

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_QUERY_VALUE)) {
            return NoRight("query values");
        }
        if (!key.hive) {
            return ERROR_FILE_NOT_FOUND;
        }
        DWORD type = REG_NONE;
        std::string bytes;
        rc = key.hive->Read([&]() -> LONG {
            const Db& db = key.hive->db();
            if (!KeyExists(db, key.id)) {
                return ERROR_KEY_DELETED;
            }
            Statement st(db, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
            st.Bind(1, key.id).Bind(2, FoldKey(ValueName(lpValueName)));
            if (!st.Step()) {
                return ERROR_FILE_NOT_FOUND;
            }
            type = static_cast<DWORD>(st.Int(0));
            bytes = ToCallerBytes(type, st.Blob(1));
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (lpType) {
            *lpType = type;
        }
        return CopyData(bytes, lpData, lpcbData);
    });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (!lpData && cbData != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::wstring_view name = ValueName(lpValueName);
    if (name.size() > kMaxValueNameLength) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_SET_VALUE) || !key.hive) {
            return NoRight("set values");
        }
        std::string stored = ToStoredBytes(dwType, lpData, cbData);
        return key.hive->Write([&]() -> LONG {
            const Db& db = key.hive->db();
            if (!KeyExists(db, key.id)) {
                return ERROR_KEY_DELETED;
            }
            // An existing value keeps its place in the enumeration and its spelling.
            Statement st(db,
                         "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?) "
                         "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
            st.Bind(1, key.id).Bind(2, sw::base::ToUtf8(name)).Bind(3, FoldKey(name)).Bind(4, dwType);
            st.BindBlob(5, stored.data(), stored.size());
            st.Run();
            Touch(db, key.id);
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_SET_VALUE) || !key.hive) {
            return NoRight("set values");
        }
        std::string fold = FoldKey(ValueName(lpValueName));
        auto lookFor = [&]() -> LONG {
            const Db& db = key.hive->db();
            if (!KeyExists(db, key.id)) {
                return ERROR_KEY_DELETED;
            }
            Statement st(db, "SELECT 1 FROM vals WHERE key = ? AND fold = ?");
            st.Bind(1, key.id).Bind(2, fold);
            return st.Step() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        };
        if (rc = key.hive->Read(lookFor); rc != ERROR_SUCCESS) {
            return rc;
        }
        return key.hive->Write([&]() -> LONG {
            if (LONG found = lookFor(); found != ERROR_SUCCESS) {
                return found;
            }
            const Db& db = key.hive->db();
            Statement st(db, "DELETE FROM vals WHERE key = ? AND fold = ?");
            st.Bind(1, key.id).Bind(2, fold).Run();
            Touch(db, key.id);
            return ERROR_SUCCESS;
        });
    });
}

// ---- Enumeration and information --------------------------------------------------

LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD /*lpReserved*/,
                   LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_ENUMERATE_SUB_KEYS)) {
            return NoRight("enumerate subkeys");
        }
        std::wstring name;
        std::int64_t stamp = 0;
        if (!key.hive) {
            if (dwIndex >= Global().loaded.size()) {
                return ERROR_NO_MORE_ITEMS;
            }
            auto it = Global().loaded.begin();
            std::advance(it, dwIndex);
            name = it->second.name;
        } else {
            bool stored = false;
            rc = key.hive->Read([&]() -> LONG {
                stored = true;
                const Db& db = key.hive->db();
                if (!KeyExists(db, key.id)) {
                    return ERROR_KEY_DELETED;
                }
                Statement st(
                    db, "SELECT name, modified FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
                st.Bind(1, key.id).Bind(2, static_cast<std::int64_t>(dwIndex));
                if (!st.Step()) {
                    return ERROR_NO_MORE_ITEMS;
                }
                name = sw::base::FromUtf8OrCp1252(st.Text(0));
                stamp = st.Int(1);
                return ERROR_SUCCESS;
            });
            if (!stored && rc == ERROR_FILE_NOT_FOUND) {
                return ERROR_NO_MORE_ITEMS;
            }
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
        }
        if (rc = CopyName(name, lpName, lpcchName); rc != ERROR_SUCCESS) {
            return rc;
        }
        ClearClass(lpClass, lpcchClass);
        PutFiletime(lpftLastWriteTime, stamp);
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD /*lpReserved*/, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_QUERY_VALUE)) {
            return NoRight("query values");
        }
        if (!key.hive) {
            return ERROR_NO_MORE_ITEMS;
        }
        std::wstring name;
        DWORD type = REG_NONE;
        std::string bytes;
        bool stored = false;
        rc = key.hive->Read([&]() -> LONG {
            stored = true;
            const Db& db = key.hive->db();
            if (!KeyExists(db, key.id)) {
                return ERROR_KEY_DELETED;
            }
            Statement st(db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
            st.Bind(1, key.id).Bind(2, static_cast<std::int64_t>(dwIndex));
            if (!st.Step()) {
                return ERROR_NO_MORE_ITEMS;
            }
            name = sw::base::FromUtf8OrCp1252(st.Text(0));
            type = static_cast<DWORD>(st.Int(1));
            bytes = ToCallerBytes(type, st.Blob(2));
            return ERROR_SUCCESS;
        });
        if (!stored && rc == ERROR_FILE_NOT_FOUND) {
            return ERROR_NO_MORE_ITEMS;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (rc = CopyName(name, lpValueName, lpcchValueName); rc != ERROR_SUCCESS) {
            return rc;
        }
        if (lpType) {
            *lpType = type;
        }
        return CopyData(bytes, lpData, lpcbData);
    });
}

LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD /*lpReserved*/,
                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    return Guarded([&]() -> LONG {
        Handle key;
        LONG rc = Resolve(hKey, key);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (!(key.sam & KEY_QUERY_VALUE)) {
            return NoRight("query values");
        }
        DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxValue = 0;
        std::int64_t stamp = 0;
        if (!key.hive) {
            for (const auto& [fold, loaded] : Global().loaded) {
                ++subkeys;
                maxSubkey = std::max(maxSubkey, static_cast<DWORD>(loaded.name.size()));
            }
        } else {
            bool stored = false;
            rc = key.hive->Read([&]() -> LONG {
                stored = true;
                const Db& db = key.hive->db();
                Statement self(db, "SELECT modified FROM keys WHERE id = ?");
                self.Bind(1, key.id);
                if (!self.Step()) {
                    return ERROR_KEY_DELETED;
                }
                stamp = self.Int(0);
                Statement keys(db, "SELECT name FROM keys WHERE parent = ?");
                keys.Bind(1, key.id);
                while (keys.Step()) {
                    ++subkeys;
                    maxSubkey = std::max(maxSubkey,
                                         static_cast<DWORD>(sw::base::FromUtf8OrCp1252(keys.Text(0)).size()));
                }
                Statement vals(db, "SELECT name, type, data FROM vals WHERE key = ?");
                vals.Bind(1, key.id);
                while (vals.Step()) {
                    ++values;
                    maxValueName = std::max(
                        maxValueName, static_cast<DWORD>(sw::base::FromUtf8OrCp1252(vals.Text(0)).size()));
                    auto type = static_cast<DWORD>(vals.Int(1));
                    maxValue =
                        std::max(maxValue, static_cast<DWORD>(ToCallerBytes(type, vals.Blob(2)).size()));
                }
                return ERROR_SUCCESS;
            });
            if (!stored && rc == ERROR_FILE_NOT_FOUND && key.id == kRootKeyId) {
                rc = ERROR_SUCCESS;  // no file yet: an empty root
            }
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
        }
        ClearClass(lpClass, lpcchClass);
        auto put = [](LPDWORD out, DWORD value) {
            if (out) {
                *out = value;
            }
        };
        put(lpcSubKeys, subkeys);
        put(lpcbMaxSubKeyLen, maxSubkey);
        put(lpcbMaxClassLen, 0);
        put(lpcValues, values);
        put(lpcbMaxValueNameLen, maxValueName);
        put(lpcbMaxValueLen, maxValue);
        put(lpcbSecurityDescriptor, 0);
        PutFiletime(lpftLastWriteTime, stamp);
        return ERROR_SUCCESS;
    });
}

// ---- Loaded hives -------------------------------------------------------------------

LONG RegLoadKeyW(HKEY hKey, LPCWSTR lpSubKey, LPCWSTR lpFile) {
    if (hKey != HKEY_USERS || !lpSubKey || !*lpSubKey || !lpFile || !*lpFile) {
        return ERROR_INVALID_PARAMETER;
    }
    std::wstring_view name(lpSubKey);
    if (name.find(L'\\') != std::wstring_view::npos || name.size() > kMaxKeyNameLength) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        std::string path = sw::base::ToUtf8(lpFile);
        if (path[0] != '/') {
            char cwd[4096];
            if (!getcwd(cwd, sizeof cwd)) {
                return ERROR_FILE_NOT_FOUND;
            }
            path = std::string(cwd) + "/" + path;
        }
        std::string fold = FoldKey(name);
        if (Global().loaded.count(fold)) {
            return ERROR_ALREADY_EXISTS;
        }
        // A file this process already uses as a hive is "in use", as a
        // signed-in user's hive is.
        for (const auto& [other, hive] : Global().hives) {
            if (SameFile(path, other)) {
                return ERROR_SHARING_VIOLATION;
            }
        }
        for (const auto& [other, loaded] : Global().loaded) {
            if (SameFile(path, loaded.hive->Path())) {
                return ERROR_SHARING_VIOLATION;
            }
        }
        auto hive = std::make_shared<Hive>(path);
        LONG rc = hive->Read([] { return ERROR_SUCCESS; });
        if (rc == ERROR_FILE_NOT_FOUND) {
            rc = hive->Write([] { return ERROR_SUCCESS; });
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        Global().loaded.emplace(fold, LoadedHive{std::wstring(name), std::move(hive)});
        return ERROR_SUCCESS;
    });
}

LONG RegUnLoadKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (hKey != HKEY_USERS || !lpSubKey) {
        return ERROR_INVALID_PARAMETER;
    }
    return Guarded([&]() -> LONG {
        auto found = Global().loaded.find(FoldKey(lpSubKey));
        if (found == Global().loaded.end()) {
            return ERROR_FILE_NOT_FOUND;
        }
        const auto& hive = found->second.hive;
        for (const auto& [key, handle] : Global().handles) {
            if (handle->hive == hive) {
                return ERROR_ACCESS_DENIED;
            }
        }
        if (hive->InScope()) {
            return ERROR_ACCESS_DENIED;
        }
        hive->Close();
        Global().loaded.erase(found);
        return ERROR_SUCCESS;
    });
}
