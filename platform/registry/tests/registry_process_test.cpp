// Several processes on one store: simultaneous writers, and writers killed
// at arbitrary moments.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/registry/tests/RegistryFixture.h"

namespace {

using sw::registry::Transaction;

class registry_process_test : public RegistryFixture {
protected:
    static int WaitFor(pid_t child) {
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }
};

// Each value carries its generation twice, so a torn write would show.
std::wstring Payload(int generation) {
    std::wstring tag = L"gen-" + std::to_wstring(generation) + L"|";
    std::wstring text;
    while (text.size() < 3000) {
        text += tag;
    }
    return text;
}

bool IsWholePayload(const std::wstring& text) {
    auto bar = text.find(L'|');
    if (bar == std::wstring::npos) {
        return false;
    }
    return text == Payload(std::stoi(text.substr(4, bar - 4)));
}

TEST_F(registry_process_test, two_processes_writing_at_once_both_succeed) {
    constexpr int kWrites = 150;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t children[2];
    for (int n = 0; n < 2; ++n) {
        children[n] = fork();
        if (children[n] == 0) {
            sw::registry::CloseAllConnections();
            char go = 0;
            close(ready[1]);
            if (read(ready[0], &go, 1) != 1) {
                _exit(100);
            }
            int failures = 0;
            std::wstring mine = L"Writer" + std::to_wstring(n);
            for (int i = 0; i < kWrites; ++i) {
                HKEY key = nullptr;
                if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Shared\\Key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key, nullptr) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                failures += SetDword(key, (mine + L"_" + std::to_wstring(i)).c_str(),
                                     static_cast<DWORD>(i)) != ERROR_SUCCESS;
                failures += SetString(key, L"Last", mine) != ERROR_SUCCESS;
                RegCloseKey(key);
            }
            _exit(failures > 99 ? 99 : failures);
        }
    }
    close(ready[0]);
    ASSERT_EQ(write(ready[1], "gg", 2), 2);  // release both at the same moment
    close(ready[1]);
    for (pid_t child : children) {
        int status = WaitFor(child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in one writer";
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Shared\\Key", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2U * kWrites + 1);
    DWORD last = 0;
    EXPECT_EQ(GetDword(key, L"Writer1_149", last), ERROR_SUCCESS);
    EXPECT_EQ(last, 149U);
    std::wstring winner = GetString(key, L"Last");
    EXPECT_TRUE(winner == L"Writer0" || winner == L"Writer1") << std::string(winner.begin(), winner.end());
    RegCloseKey(key);
}

TEST_F(registry_process_test, writer_killed_at_random_moments_leaves_old_or_new_values) {
    std::mt19937 random(12345);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        pid_t child = fork();
        if (child == 0) {
            sw::registry::CloseAllConnections();
            close(started[0]);
            for (int generation = round * 100000;; ++generation) {
                // Half the rounds write loose values, half in a scope whose two
                // values must change together.
                HKEY key = nullptr;
                RegCreateKeyExW(HKEY_CURRENT_USER, L"Crash", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr);
                if (round % 2 == 0) {
                    SetString(key, L"A", Payload(generation));
                    SetString(key, L"B", Payload(generation));
                } else {
                    Transaction scope;
                    SetString(key, L"A", Payload(generation));
                    SetString(key, L"B", Payload(generation));
                    scope.Commit();
                }
                RegCloseKey(key);
                if (started[1] >= 0) {
                    // Killing starts once one generation is stored.
                    if (write(started[1], "s", 1) != 1) {
                        _exit(1);
                    }
                    close(started[1]);
                    started[1] = -1;
                }
            }
        }
        close(started[1]);
        char byte = 0;
        ASSERT_EQ(read(started[0], &byte, 1), 1);
        close(started[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 100));
        kill(child, SIGKILL);
        int status = WaitFor(child);
        ASSERT_TRUE(WIFSIGNALED(status));

        sw::registry::CloseAllConnections();
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Crash", 0, KEY_READ, &key), ERROR_SUCCESS)
            << sw::registry::LastErrorText();
        std::wstring a = GetString(key, L"A");
        std::wstring b = GetString(key, L"B");
        RegCloseKey(key);
        EXPECT_TRUE(IsWholePayload(a));
        EXPECT_TRUE(IsWholePayload(b));
        if (round % 2 == 1) {
            EXPECT_EQ(a, b) << "a committed scope changes both or neither";
        }
        // The store stays writable after the crash.
        HKEY again = Create(HKEY_CURRENT_USER, L"Crash");
        EXPECT_EQ(SetDword(again, L"After", static_cast<DWORD>(round)), ERROR_SUCCESS);
        RegCloseKey(again);
    }
}

TEST_F(registry_process_test, scope_of_a_killed_process_is_rolled_back) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Profiles");
    ASSERT_EQ(SetString(key, L"Name0", L"kept"), ERROR_SUCCESS);
    RegCloseKey(key);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        sw::registry::CloseAllConnections();
        close(ready[0]);
        Transaction scope;
        HKEY k = Create(HKEY_CURRENT_USER, L"Profiles");
        RegDeleteValueW(k, L"Name0");
        SetString(k, L"Name1", L"half-saved");
        if (write(ready[1], "x", 1) != 1) {
            _exit(1);
        }
        pause();  // killed here, mid-save
        _exit(0);
    }
    close(ready[1]);
    char got = 0;
    ASSERT_EQ(read(ready[0], &got, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    WaitFor(child);

    sw::registry::CloseAllConnections();
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Profiles", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"Name0"), L"kept");
    EXPECT_EQ(GetString(key, L"Name1"), L"<error 2>");
    RegCloseKey(key);
}

TEST_F(registry_process_test, scopes_of_two_processes_take_turns) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Turns");
    ASSERT_EQ(SetString(key, L"Owner", L"nobody"), ERROR_SUCCESS);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t child = fork();
    if (child == 0) {
        sw::registry::CloseAllConnections();
        close(go[1]);
        char byte = 0;
        if (read(go[0], &byte, 1) != 1) {
            _exit(100);
        }
        // Waits for the parent's scope to end, then sees its result.
        Transaction mine;
        HKEY k = nullptr;
        int failures = mine.Status() != ERROR_SUCCESS;
        failures += RegOpenKeyExW(HKEY_CURRENT_USER, L"Turns", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS;
        failures += GetString(k, L"Owner") != L"parent";
        failures += SetString(k, L"Owner", L"child") != ERROR_SUCCESS;
        failures += mine.Commit() != ERROR_SUCCESS;
        _exit(failures);
    }
    close(go[0]);
    {
        Transaction scope;
        ASSERT_EQ(scope.Status(), ERROR_SUCCESS);
        ASSERT_EQ(SetString(key, L"Owner", L"parent"), ERROR_SUCCESS);
        ASSERT_EQ(write(go[1], "g", 1), 1);
        close(go[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(scope.Commit(), ERROR_SUCCESS);
    }
    int status = WaitFor(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(GetString(key, L"Owner"), L"child");
    RegCloseKey(key);
}

}  // namespace
