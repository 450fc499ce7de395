// The settings store: the registry calls the system makes, with their usual
// names, parameter lists, results and error codes, kept in one SQLite database
// file per hive.
//
// Hives: HKEY_CURRENT_USER is the user's file, HKEY_LOCAL_MACHINE the
// machine's. With SHEETWISE_REGISTRY_DIR set both live in that folder
// (user.db, machine.db); otherwise the user's file is
// $XDG_CONFIG_HOME/sheetwise/user.db (~/.config/sheetwise/user.db) and the
// machine's /var/lib/sheetwise/machine.db. HKEY_USERS holds only the hives
// this process loaded with RegLoadKeyW.
//
// Text: REG_SZ data crosses these calls as wchar_t text, and every byte count
// of string data is in the caller's units (characters * sizeof(wchar_t)), so
// code written as `cb / sizeof(WCHAR)` works. The file holds it as UTF-16LE,
// so "abc" with its terminator occupies 8 bytes there. Other types are raw
// bytes both ways. Names of keys and values compare case-insensitively and
// keep the case they were created with; "\" separates key names.
//
// Every write is its own transaction unless a sw::registry::Transaction scope
// is alive for the hive, in which case it joins that scope's transaction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/base/WinTypes.h"

// ---- Types ------------------------------------------------------------------

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using LSTATUS = LONG;
using REGSAM = DWORD;

// ---- Predefined roots -------------------------------------------------------

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000U)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001U)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002U)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000003U)))

// ---- Access rights ----------------------------------------------------------

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_EXECUTE = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// ---- Value types ------------------------------------------------------------

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// ---- Options and dispositions -----------------------------------------------

inline constexpr DWORD REG_OPTION_RESERVED = 0x0;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
inline constexpr DWORD REG_OPTION_VOLATILE = 0x1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// ---- Results ----------------------------------------------------------------

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;  // also: deleting a key that has subkeys
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_SHARING_VIOLATION = 32;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_BUSY = 170;
inline constexpr LONG ERROR_ALREADY_EXISTS = 183;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_BADKEY = 1010;
inline constexpr LONG ERROR_CANTOPEN = 1011;
inline constexpr LONG ERROR_CANTREAD = 1012;
inline constexpr LONG ERROR_CANTWRITE = 1013;
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// ---- Calls ------------------------------------------------------------------
//
// Handles are valid in the process that opened them. A handle whose key was
// deleted (by this or another process) answers ERROR_KEY_DELETED. A child made
// by fork() opens its own connections; but one forked while its parent was
// inside a Transaction cannot use that hive at all (ERROR_BUSY) before exec().

LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes one key; a key that still has subkeys is left in place (ERROR_ACCESS_DENIED).
LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
// Subkeys come in case-insensitive name order, values in the order they were first written.
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      PFILETIME lpftLastWriteTime);
// Mounts the store file lpFile (created when missing) as HKEY_USERS\lpSubKey for
// this process. ERROR_SHARING_VIOLATION when the file is already in use as a hive
// of this process; ERROR_BADDB when it is not a store file.
LONG RegLoadKeyW(HKEY hKey, LPCWSTR lpSubKey, LPCWSTR lpFile);
// ERROR_ACCESS_DENIED while handles into the loaded hive are still open.
LONG RegUnLoadKeyW(HKEY hKey, LPCWSTR lpSubKey);

// The names of a Unicode build.
#define RegCreateKeyEx RegCreateKeyExW
#define RegOpenKeyEx RegOpenKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx RegSetValueExW
#define RegDeleteValue RegDeleteValueW
#define RegDeleteKey RegDeleteKeyW
#define RegEnumKeyEx RegEnumKeyExW
#define RegEnumValue RegEnumValueW
#define RegQueryInfoKey RegQueryInfoKeyW
#define RegLoadKey RegLoadKeyW
#define RegUnLoadKey RegUnLoadKeyW

namespace sw::registry {

// All-or-nothing scope over one hive. While it is alive, every registry call of
// this process on that hive (through any handle, opened before or during the
// scope) joins one transaction; other processes see nothing of it until
// Commit(). Destroying it without a successful Commit() rolls every change
// back, as does the death of the process. Scopes nest: an inner scope's
// changes become part of the outer one.
//
// Starting the scope takes the hive's write lock (waiting as long as the busy
// timeout allows). If that fails, every write inside the scope fails with the
// same result and Commit() returns it.
class Transaction {
public:
    explicit Transaction(HKEY root = HKEY_CURRENT_USER);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // ERROR_SUCCESS once the changes are durable in the file.
    LONG Commit();
    // Result of starting the scope (ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_BADDB, ERROR_BUSY ...).
    LONG Status() const { return status_; }

private:
    std::shared_ptr<void> hive_;  // the hive's shared state, kept alive for the scope
    int level_ = 0;               // nesting depth this scope opened
    LONG status_ = ERROR_SUCCESS;
    bool done_ = false;
};

// The database file that holds the hive of a root (HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE) or of an open handle; empty for HKEY_USERS itself and
// for anything that is not a handle.
std::string HiveFilePath(HKEY root);

// A readable account of the last failure of a registry call in this thread
// that was not a plain "not found": a damaged or foreign store file (naming
// the file), a file without write permission, a lock held too long.
std::string LastErrorText();

// Drops the connections this process keeps open to store files. Handles stay
// valid; the next call reopens. For tests and for a process about to change
// SHEETWISE_REGISTRY_DIR; must not be called while a Transaction is alive.
void CloseAllConnections();

}  // namespace sw::registry
