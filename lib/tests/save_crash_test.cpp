#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/tests/test_support.h"

namespace {

using Anchor = KVExcelRemoveDataAnchor;

class save_crash_test : public kvtest::StoreTest {};

// Saving clears every stored profile before writing the list again. A process
// killed at any moment of that must leave every profile in the store.
TEST_F(save_crash_test, killing_a_save_never_loses_stored_profiles) {
    constexpr int kProfiles = 6;
    constexpr int kAnchors = 3;
    {
        KVDriverOptionsMgr manager;
        for (int i = 0; i < kProfiles; ++i) {
            auto* profile = dynamic_cast<KVDriverOptionsExcel*>(manager.CreateNewDriverOption(
                KVFileParserTypes::enFileParserExcel, (L"Profile " + std::to_wstring(i)).c_str()));
            profile->SetRemoveDataSection(1);
            for (int a = 0; a < kAnchors; ++a) {
                Anchor* anchor = profile->CreateRemoveDataAnchor();
                anchor->SetAnchorDescriptor((L"Anchor " + std::to_wstring(a)).c_str());
                anchor->SetAnchorType(Anchor::enAnchorRemoveRow);
            }
        }
        manager.SaveSettings(manager.GetExcelProfile(0L));
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMs(0, 120);
    int killedMidway = 0;
    for (int round = 0; round < 15; ++round) {
        // The child must not share the parent's store connections.
        sw::registry::CloseAllConnections();
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            KVDriverOptionsMgr manager;
            // Tell the parent the saving starts now, so the kill lands in it.
            const char go = 'g';
            (void)!write(ready[1], &go, 1);
            for (;;) {
                manager.SaveSettings(manager.GetExcelProfile(1L));
            }
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        killedMidway += WIFSIGNALED(status) ? 1 : 0;

        sw::registry::CloseAllConnections();
        KVDriverOptionsMgr reloaded;
        ASSERT_EQ(reloaded.GetExcelProfileCount(), kProfiles) << "round " << round;
        for (int i = 0; i < kProfiles; ++i) {
            auto* profile =
                dynamic_cast<KVDriverOptionsExcel*>(reloaded.GetExcelProfile(static_cast<long>(i)));
            EXPECT_EQ(std::wstring(profile->GetProfileName()), L"Profile " + std::to_wstring(i));
            EXPECT_EQ(profile->GetRemoveDataAnchorCount(), kAnchors) << "round " << round;
        }
    }
    EXPECT_EQ(killedMidway, 15);
}

}  // namespace
