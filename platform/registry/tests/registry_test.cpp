#include <grp.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/registry/tests/RegistryFixture.h"

namespace {

using sw::registry::Transaction;

class registry_test : public RegistryFixture {
protected:
    // One query against the store file, outside the layer under test.
    std::string Sql(const std::string& path, const std::string& query) {
        sqlite3* db = nullptr;
        std::string result;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(st, 0);
                result = text ? reinterpret_cast<const char*>(text) : "";
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return result;
    }
};

TEST_F(registry_test, create_then_open_reports_disposition_and_missing_keys) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise\\Options", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise\\Options", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);

    HKEY opened = reinterpret_cast<HKEY>(&disposition);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise\\Missing", 0, KEY_READ, &opened),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened, nullptr);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Sheetwise", 0, KEY_READ, &opened), ERROR_SUCCESS);
    HKEY child = nullptr;
    EXPECT_EQ(RegOpenKeyExW(opened, L"Options", 0, KEY_READ, &child), ERROR_SUCCESS);
    RegCloseKey(child);
    RegCloseKey(opened);

    // The machine hive is a separate file.
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise", 0, KEY_READ, &opened),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(sw::registry::HiveFilePath(HKEY_CURRENT_USER), UserFile());
    EXPECT_EQ(sw::registry::HiveFilePath(HKEY_LOCAL_MACHINE), MachineFile());
}

TEST_F(registry_test, bad_handles_and_paths_are_refused) {
    int notAKey = 0;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(&notAKey), L"x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(reinterpret_cast<HKEY>(&notAKey), L"v", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&notAKey)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"A\\\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    std::wstring tooLong(256, L'k');
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    // A trailing separator names the same key.
    HKEY a = Create(HKEY_CURRENT_USER, L"A\\B\\");
    HKEY b = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"A\\B", 0, KEY_READ, &b), ERROR_SUCCESS);
    RegCloseKey(a);
    RegCloseKey(b);
}

TEST_F(registry_test, names_are_case_insensitive_and_keep_their_first_spelling) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Ärger\\MixedCase");
    ASSERT_EQ(SetString(key, L"ProfileName", L"first"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"PROFILENAME", L"second"), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\äRGER\\mixedcase", 0, KEY_READ, &other),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(other, L"profilename"), L"second");
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyW(other, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1U);
    wchar_t name[64];
    DWORD chars = 64;
    ASSERT_EQ(RegEnumValueW(other, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"ProfileName");
    RegCloseKey(other);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0, KEY_READ, &parent), ERROR_SUCCESS);
    chars = 64;
    ASSERT_EQ(RegEnumKeyExW(parent, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"Ärger");
    EXPECT_EQ(chars, 5U);
    RegCloseKey(parent);
}

TEST_F(registry_test, text_is_stored_as_utf16_with_its_terminator) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Texts");
    ASSERT_EQ(SetString(key, L"Short", L"abc"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"Wide", L"x\U0001F600y"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Short", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4 * sizeof(wchar_t));  // the caller's characters, terminator included
    EXPECT_EQ(GetString(key, L"Wide"), L"x\U0001F600y");
    RegCloseKey(key);

    EXPECT_EQ(Sql(UserFile(), "SELECT length(data) || ':' || hex(data) FROM vals WHERE name = 'Short'"),
              "8:6100620063000000");
    // Beyond the BMP the file holds a surrogate pair.
    EXPECT_EQ(Sql(UserFile(), "SELECT hex(data) FROM vals WHERE name = 'Wide'"), "78003DD800DE79000000");
}

TEST_F(registry_test, dword_and_other_types_come_back_as_stored) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Types");
    ASSERT_EQ(SetDword(key, L"Count", 0xDEADBEEF), ERROR_SUCCESS);
    const BYTE blob[] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"Empty", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);

    DWORD value = 0;
    EXPECT_EQ(GetDword(key, L"Count", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0xDEADBEEFU);
    EXPECT_EQ(Sql(UserFile(), "SELECT hex(data) FROM vals WHERE name = 'Count'"), "EFBEADDE");

    // Reading a DWORD as text does not convert it: type and bytes are what was stored.
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Count", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4U);
    BYTE out[8] = {};
    size = sizeof out;
    ASSERT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 3U);
    EXPECT_EQ(std::memcmp(out, blob, 3), 0);
    size = sizeof out;
    ASSERT_EQ(RegQueryValueExW(key, L"Empty", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(size, 0U);
    RegCloseKey(key);
}

TEST_F(registry_test, default_value_has_the_empty_name) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Defaults");
    ASSERT_EQ(SetString(key, nullptr, L"unnamed"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L""), L"unnamed");
    ASSERT_EQ(SetString(key, L"", L"replaced"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, nullptr), L"replaced");
    EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L""), L"<error 2>");
    RegCloseKey(key);
}

TEST_F(registry_test, size_queries_and_short_buffers) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Sizes");
    ASSERT_EQ(SetString(key, L"Name", L"hello"), ERROR_SUCCESS);
    const DWORD needed = 6 * sizeof(wchar_t);

    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, needed);
    // Existence test with neither buffer nor size.
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"Absent", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    std::vector<BYTE> buffer(needed + 8, 0xAB);
    size = needed - 1;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, buffer.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(buffer[0], 0xAB) << "a short buffer must not be written";

    size = needed;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(buffer[needed], 0xAB) << "nothing written past the data";
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, buffer.data(), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(registry_test, delete_key_with_subkeys_fails) {
    HKEY leaf = Create(HKEY_CURRENT_USER, L"Tree\\Branch\\Leaf");
    ASSERT_EQ(SetDword(leaf, L"v", 1), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Tree\\Branch"), ERROR_ACCESS_DENIED);
    HKEY check = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Tree\\Branch\\Leaf", 0, KEY_READ, &check), ERROR_SUCCESS);
    RegCloseKey(check);

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"tree\\branch\\LEAF"), ERROR_SUCCESS);
    // An open handle to a deleted key stays a handle but finds nothing.
    DWORD value = 0;
    EXPECT_EQ(GetDword(leaf, L"v", value), ERROR_KEY_DELETED);
    EXPECT_EQ(SetDword(leaf, L"v", 2), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Tree\\Branch"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Tree\\Branch"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L""), ERROR_ACCESS_DENIED) << "a hive's root stays";
    // A recreated key is a new key: the old one's values did not survive.
    HKEY again = Create(HKEY_CURRENT_USER, L"Tree\\Branch\\Leaf");
    EXPECT_EQ(GetDword(again, L"v", value), ERROR_FILE_NOT_FOUND);
    RegCloseKey(again);
}

TEST_F(registry_test, delete_value_removes_only_that_value) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Values");
    ASSERT_EQ(SetDword(key, L"Keep", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"Drop", 2), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"DROP"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"Drop"), ERROR_FILE_NOT_FOUND);
    DWORD value = 0;
    EXPECT_EQ(GetDword(key, L"Keep", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1U);
    RegCloseKey(key);
}

TEST_F(registry_test, enumeration_by_index_is_stable_and_bounded) {
    HKEY root = Create(HKEY_CURRENT_USER, L"Enum");
    for (const wchar_t* name : {L"b", L"C", L"a"}) {
        RegCloseKey(Create(root, name));
    }
    for (const wchar_t* name : {L"zeta", L"Alpha", L"mid"}) {
        ASSERT_EQ(SetDword(root, name, 7), ERROR_SUCCESS);
    }
    ASSERT_EQ(SetDword(root, L"ZETA", 8), ERROR_SUCCESS);  // rewriting keeps its place

    std::vector<std::wstring> keys;
    wchar_t name[32];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 32;
        LONG rc = RegEnumKeyExW(root, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        ASSERT_EQ(rc, ERROR_SUCCESS);
        keys.emplace_back(name, chars);
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"a", L"b", L"C"}));

    std::vector<std::wstring> values;
    for (DWORD i = 0;; ++i) {
        DWORD chars = 32;
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        LONG rc = RegEnumValueW(root, i, name, &chars, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD);
        values.emplace_back(name, chars);
    }
    EXPECT_EQ(values, (std::vector<std::wstring>{L"zeta", L"Alpha", L"mid"}));

    // A name buffer without room for the terminator is too short.
    DWORD chars = 4;
    EXPECT_EQ(RegEnumValueW(root, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    chars = 1;
    EXPECT_EQ(RegEnumKeyExW(root, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    RegCloseKey(root);
}

TEST_F(registry_test, query_info_counts_and_maximum_lengths) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Info");
    RegCloseKey(Create(key, L"Sub"));
    RegCloseKey(Create(key, L"LongerSub"));
    ASSERT_EQ(SetString(key, L"Text", L"twelve chars"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"ANumberName", 3), ERROR_SUCCESS);

    DWORD subkeys = 99, maxSub = 99, values = 99, maxName = 99, maxData = 99;
    FILETIME written{};
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName,
                               &maxData, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2U);
    EXPECT_EQ(maxSub, 9U);
    EXPECT_EQ(values, 2U);
    EXPECT_EQ(maxName, 11U);
    EXPECT_EQ(maxData, 13 * sizeof(wchar_t));
    EXPECT_NE(written.dwHighDateTime, 0U);
    RegCloseKey(key);

    // A store that does not exist yet has an empty root.
    ASSERT_EQ(RegQueryInfoKeyW(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys + values, 0U);
}

TEST_F(registry_test, access_rights_of_a_handle_are_enforced) {
    RegCloseKey(Create(HKEY_CURRENT_USER, L"Rights"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Rights", 0, KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(reader, L"v", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(reader, L"v"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(reader, L"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);

    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Rights", 0, KEY_WRITE, &writer), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(writer, L"v", 1), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(GetDword(writer, L"v", value), ERROR_ACCESS_DENIED) << "KEY_WRITE has no query right";
    EXPECT_EQ(GetDword(reader, L"v", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1U);
    RegCloseKey(reader);
    RegCloseKey(writer);
}

TEST_F(registry_test, reading_never_creates_the_store) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
    wchar_t name[8];
    DWORD chars = 8;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegQueryValueExW(key, L"x", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_FALSE(std::filesystem::exists(UserFile()));
}

TEST_F(registry_test, user_store_defaults_to_the_xdg_config_folder) {
    unsetenv("SHEETWISE_REGISTRY_DIR");
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    EXPECT_EQ(sw::registry::HiveFilePath(HKEY_CURRENT_USER), dir_ + "/sheetwise/user.db");
    HKEY key = Create(HKEY_CURRENT_USER, L"Here");
    RegCloseKey(key);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/sheetwise/user.db"));
    EXPECT_EQ(sw::registry::HiveFilePath(HKEY_LOCAL_MACHINE), "/var/lib/sheetwise/machine.db");
    unsetenv("XDG_CONFIG_HOME");
    sw::registry::CloseAllConnections();
}

TEST_F(registry_test, transaction_scope_is_all_or_nothing) {
    {
        Transaction scope(HKEY_CURRENT_USER);
        ASSERT_EQ(scope.Status(), ERROR_SUCCESS);
        HKEY a = Create(HKEY_CURRENT_USER, L"Profiles\\0");
        ASSERT_EQ(SetString(a, L"ProfileName", L"lost"), ERROR_SUCCESS);
        RegCloseKey(a);
        HKEY b = Create(HKEY_CURRENT_USER, L"Profiles\\1");
        EXPECT_EQ(GetString(b, L"ProfileName"), L"<error 2>");
        RegCloseKey(b);
        // Not committed: everything above is undone.
    }
    HKEY probe = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Profiles", 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);

    HKEY keep = Create(HKEY_CURRENT_USER, L"Profiles\\0");
    ASSERT_EQ(SetString(keep, L"ProfileName", L"old"), ERROR_SUCCESS);

    // A second process, started before the scope, looks while it is open.
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t reader = fork();
    if (reader == 0) {
        sw::registry::CloseAllConnections();
        close(go[1]);
        char byte = 0;
        if (read(go[0], &byte, 1) != 1) {
            _exit(2);
        }
        HKEY k = nullptr;
        bool old = RegOpenKeyExW(HKEY_CURRENT_USER, L"Profiles\\0", 0, KEY_READ, &k) == ERROR_SUCCESS &&
                   GetString(k, L"ProfileName") == L"old" && GetString(k, L"Nested") == L"<error 2>";
        _exit(old ? 0 : 1);
    }
    close(go[0]);
    {
        Transaction scope;
        ASSERT_EQ(RegDeleteValueW(keep, L"ProfileName"), ERROR_SUCCESS);
        ASSERT_EQ(SetString(keep, L"ProfileName", L"new"), ERROR_SUCCESS);
        {
            Transaction inner;
            ASSERT_EQ(SetString(keep, L"Inner", L"undone"), ERROR_SUCCESS);
        }
        {
            Transaction inner;
            ASSERT_EQ(SetString(keep, L"Nested", L"kept"), ERROR_SUCCESS);
            EXPECT_EQ(inner.Commit(), ERROR_SUCCESS);
        }
        ASSERT_EQ(write(go[1], "r", 1), 1);
        close(go[1]);
        int status = 0;
        waitpid(reader, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "others see the old state until the commit";

        // A child forked inside the scope inherits lock records that are not
        // its own: it is refused that hive at once instead of hanging.
        pid_t forked = fork();
        if (forked == 0) {
            HKEY k = nullptr;
            int failures = RegOpenKeyExW(HKEY_CURRENT_USER, L"Profiles", 0, KEY_READ, &k) != ERROR_BUSY;
            failures += sw::registry::LastErrorText().find("forked") == std::string::npos;
            failures += SetDword(HKEY_LOCAL_MACHINE, L"Other", 1) != ERROR_SUCCESS;
            _exit(failures);
        }
        waitpid(forked, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        EXPECT_EQ(scope.Commit(), ERROR_SUCCESS);
        EXPECT_EQ(scope.Commit(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(GetString(keep, L"ProfileName"), L"new");
    EXPECT_EQ(GetString(keep, L"Nested"), L"kept");
    EXPECT_EQ(GetString(keep, L"Inner"), L"<error 2>");
    RegCloseKey(keep);
}

TEST_F(registry_test, transaction_on_a_damaged_store_fails_every_write) {
    WriteAll(UserFile(), "this is not a database at all, just some text that someone left here......");
    const std::string before = ReadAll(UserFile());
    Transaction scope(HKEY_CURRENT_USER);
    EXPECT_EQ(scope.Status(), ERROR_BADDB);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(scope.Commit(), ERROR_BADDB);
    EXPECT_EQ(ReadAll(UserFile()), before);
}

TEST_F(registry_test, damaged_or_foreign_store_files_are_reported_and_left_alone) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"text", std::string(300, 'x'), "not an SQLite database"});
    cases.push_back({"short", "SQLite format 3", "not an SQLite database"});

    // Another program's database.
    std::string foreign = dir_ + "/foreign.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine');", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
    }
    cases.push_back({"foreign", ReadAll(foreign), "another program"});

    // One of ours with its pages overwritten.
    HKEY key = Create(HKEY_CURRENT_USER, L"Victim");
    ASSERT_EQ(SetString(key, L"v", L"data"), ERROR_SUCCESS);
    RegCloseKey(key);
    sw::registry::CloseAllConnections();
    std::string damaged = ReadAll(UserFile());
    ASSERT_GT(damaged.size(), 1024U);
    for (std::size_t i = 100; i < damaged.size(); ++i) {
        damaged[i] = static_cast<char>(i * 7);
    }
    cases.push_back({"damaged", damaged, "damaged"});

    // One of ours with a single page, far from the keys being asked for, destroyed.
    std::filesystem::remove(UserFile());
    key = Create(HKEY_CURRENT_USER, L"Victim");
    {
        Transaction scope;
        for (int i = 0; i < 400; ++i) {
            ASSERT_EQ(SetString(key, (L"Filler" + std::to_wstring(i)).c_str(), std::wstring(200, L'f')),
                      ERROR_SUCCESS);
        }
        ASSERT_EQ(scope.Commit(), ERROR_SUCCESS);
    }
    RegCloseKey(key);
    sw::registry::CloseAllConnections();
    std::string onePage = ReadAll(UserFile());
    ASSERT_GT(onePage.size(), 8 * 4096U);
    for (std::size_t i = onePage.size() - 4096; i < onePage.size(); ++i) {
        onePage[i] = static_cast<char>(0xA5);
    }
    cases.push_back({"one page", onePage, "damaged"});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(UserFile());
        std::filesystem::remove(UserFile() + "-wal");
        std::filesystem::remove(UserFile() + "-shm");
        WriteAll(UserFile(), c.bytes);
        sw::registry::CloseAllConnections();

        HKEY h = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Victim", 0, KEY_READ, &h), ERROR_BADDB);
        EXPECT_NE(sw::registry::LastErrorText().find(UserFile()), std::string::npos)
            << sw::registry::LastErrorText();
        EXPECT_NE(sw::registry::LastErrorText().find(c.message), std::string::npos)
            << sw::registry::LastErrorText();
        EXPECT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, L"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_BADDB);
        EXPECT_EQ(SetDword(HKEY_CURRENT_USER, L"v", 1), ERROR_BADDB);
        sw::registry::CloseAllConnections();
        EXPECT_EQ(ReadAll(UserFile()), c.bytes) << "the file must be left exactly as it was";
    }
}

TEST_F(registry_test, unwritable_store_still_reads_and_refuses_writes) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise");
    ASSERT_EQ(SetString(key, L"InstallFolder", L"/opt/sheetwise"), ERROR_SUCCESS);
    RegCloseKey(key);
    sw::registry::CloseAllConnections();
    ASSERT_EQ(chmod(MachineFile().c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir_.c_str(), 0555), 0);

    // Root ignores file modes, so the check runs in a child that gives up
    // root first; as an ordinary user the modes above are enough.
    pid_t child = fork();
    if (child == 0) {
        sw::registry::CloseAllConnections();
        if (getuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
                _exit(90);
            }
        }
        int failures = 0;
        HKEY k = nullptr;
        if (LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise", 0, KEY_READ, &k);
            rc != ERROR_SUCCESS) {
            std::fprintf(stderr, "open for reading: %d %s\n", static_cast<int>(rc),
                         sw::registry::LastErrorText().c_str());
            _exit(91);
        }
        failures += GetString(k, L"InstallFolder") != L"/opt/sheetwise";
        RegCloseKey(k);
        HKEY w = nullptr;
        failures += RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise", 0, nullptr, 0, KEY_WRITE,
                                    nullptr, &w, nullptr) != ERROR_ACCESS_DENIED;
        failures += RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Other", 0, nullptr, 0, KEY_READ, nullptr,
                                    &w, nullptr) != ERROR_ACCESS_DENIED;
        failures += RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_WRITE, &w) != ERROR_ACCESS_DENIED;
        failures += SetDword(HKEY_LOCAL_MACHINE, L"v", 1) != ERROR_ACCESS_DENIED;
        failures += RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise") != ERROR_ACCESS_DENIED;
        failures += sw::registry::LastErrorText().find("machine.db") == std::string::npos;
        {
            Transaction scope(HKEY_LOCAL_MACHINE);
            failures += scope.Status() != ERROR_ACCESS_DENIED;
        }
        // The reading side of the fallback: an existing key opened for reading still works.
        failures +=
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Sheetwise", 0, KEY_READ, &k) != ERROR_SUCCESS;
        RegCloseKey(k);
        _exit(failures);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(dir_.c_str(), 0755);
    chmod(MachineFile().c_str(), 0644);
}

TEST_F(registry_test, load_and_unload_another_hive_under_users) {
    const std::string file = dir_ + "/other-user.db";
    std::wstring wideFile(file.begin(), file.end());
    ASSERT_EQ(RegLoadKeyW(HKEY_USERS, L"TEMP_PROFILE", wideFile.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegLoadKeyW(HKEY_USERS, L"temp_profile", wideFile.c_str()), ERROR_ALREADY_EXISTS);

    HKEY key = Create(HKEY_USERS, L"TEMP_PROFILE\\Printers\\Settings");
    ASSERT_EQ(SetDword(key, L"Flag", 3), ERROR_SUCCESS);
    EXPECT_EQ(RegUnLoadKeyW(HKEY_USERS, L"TEMP_PROFILE"), ERROR_ACCESS_DENIED) << "a handle is still open";
    RegCloseKey(key);

    HKEY users = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_USERS, nullptr, 0, KEY_READ, &users), ERROR_SUCCESS);
    wchar_t name[32];
    DWORD chars = 32;
    ASSERT_EQ(RegEnumKeyExW(users, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"TEMP_PROFILE");
    RegCloseKey(users);
    HKEY stray = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_USERS, L"NotLoaded\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stray, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_USERS, L"TEMP_PROFILE"), ERROR_ACCESS_DENIED);

    ASSERT_EQ(RegUnLoadKeyW(HKEY_USERS, L"temp_profile"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_USERS, L"TEMP_PROFILE\\Printers", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegUnLoadKeyW(HKEY_USERS, L"TEMP_PROFILE"), ERROR_FILE_NOT_FOUND);

    // The data stayed in the file; our own store is untouched by it.
    ASSERT_EQ(RegLoadKeyW(HKEY_USERS, L"Again", wideFile.c_str()), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_USERS, L"Again\\Printers\\Settings", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(GetDword(key, L"Flag", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 3U);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Printers", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegUnLoadKeyW(HKEY_USERS, L"Again"), ERROR_SUCCESS);

    // A hive in use, or a file that is not a store, cannot be loaded.
    RegCloseKey(Create(HKEY_CURRENT_USER, L"InUse"));
    std::string user = UserFile();
    std::wstring wideUser(user.begin(), user.end());
    EXPECT_EQ(RegLoadKeyW(HKEY_USERS, L"Mine", wideUser.c_str()), ERROR_SHARING_VIOLATION);
    const std::string junk = dir_ + "/junk.dat";
    WriteAll(junk, std::string(4096, 'j'));
    std::wstring wideJunk(junk.begin(), junk.end());
    EXPECT_EQ(RegLoadKeyW(HKEY_USERS, L"Junk", wideJunk.c_str()), ERROR_BADDB);
    EXPECT_EQ(ReadAll(junk), std::string(4096, 'j'));
    EXPECT_EQ(RegLoadKeyW(HKEY_LOCAL_MACHINE, L"X", wideFile.c_str()), ERROR_INVALID_PARAMETER);
}

}  // namespace
