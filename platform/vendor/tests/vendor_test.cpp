// The vendor layer's records, pipe, settings and settings structure, as a
// monitor in the user's session meets them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/spooler/PrinterNames.h"
#include "platform/vendor/JobMessage.h"
#include "platform/vendor/MessagePipe.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/VendorPaths.h"

namespace fs = std::filesystem;
using namespace sw::vendor;

namespace {

class VendorFolders : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vendor_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "printers");
        fs::create_directories(dir_ / "run");
        ::setenv("SHEETWISE_PRINTER_DIR", (dir_ / "printers").c_str(), 1);
        ::setenv("SHEETWISE_RUNTIME_ROOT", (dir_ / "run").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SHEETWISE_PRINTER_DIR");
        ::unsetenv("SHEETWISE_RUNTIME_ROOT");
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

}  // namespace

TEST(vendor_test, record_layout_and_text_limits) {
    const std::wstring longName(300, L'x');
    const JobMessageRecord record =
        MakeJobMessage(kPagePrinted, L"Q3 sales \U0001F4C8", L"/spool/a/job7.grp", longName);
    const auto bytes = EncodeJobMessage(record);
    ASSERT_EQ(bytes.size(), 1564U);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[4], 'Q');             // document name at 4
    EXPECT_EQ(bytes[524], '/');           // group file name at 524
    EXPECT_EQ(bytes[1044], 'x');          // printer name at 1044
    EXPECT_EQ(bytes[1044 + 2 * 259], 0);  // cut to 259 units and terminated
    const JobMessageRecord back = DecodeJobMessage(bytes.data());
    EXPECT_EQ(RecordText(back.documentName), L"Q3 sales \U0001F4C8");  // the pair survives
    EXPECT_EQ(RecordText(back.printerName), std::wstring(259, L'x'));

    // A record from outside without terminators reads as 259 units.
    std::array<std::uint8_t, kJobMessageSize> junk{};
    junk.fill('A');
    EXPECT_EQ(RecordText(DecodeJobMessage(junk.data()).groupFileName).size(), 259U);

    // A title that only names the printed file keeps the job a group-file job.
    EXPECT_EQ(sw::spooler::DocumentNameOfJob("report.PDF"), L"report");
    EXPECT_EQ(sw::spooler::DocumentNameOfJob(".pdf"), L"untitled");
    EXPECT_EQ(sw::spooler::DocumentNameOfJob("notes.pdf.txt"), L"notes.pdf.txt");
    EXPECT_EQ(sw::spooler::QueueOfPrinterName(L"Sheetwise Print Driver"), "Sheetwise_Print_Driver");
    EXPECT_EQ(sw::spooler::PrinterNameOfQueue("Sheetwise_Print_Driver"), L"Sheetwise Print Driver");
    EXPECT_FALSE(sw::spooler::IsValidQueueName("a b"));
}

TEST_F(VendorFolders, records_arrive_whole_and_in_order_only_while_someone_listens) {
    JobMessagePoster early(::getuid(), L"jobs", 0);
    EXPECT_FALSE(early.Post(MakeJobMessage(kJobStarted, L"lost", L"", L"P")));

    std::string error;
    auto capture = JobMessageCapture::Start(L"\\\\.\\pipe\\jobs", &error);
    ASSERT_NE(capture, nullptr) << error;
    EXPECT_EQ(fs::status(capture->Path()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    JobMessagePoster poster(::getuid(), L"jobs", 0);
    const std::uint32_t types[] = {kJobStarted, kPagePrinted, kPagePrinted, kJobEnded, 99};
    for (std::uint32_t type : types) {
        ASSERT_TRUE(poster.Post(MakeJobMessage(type, L"doc", L"/g.grp", L"Sheetwise Print Driver")));
    }
    ASSERT_TRUE(capture->Wait(2000));
    capture->SetOptions(JobMessageCapture::kAllMessages & ~2U);  // no page messages
    const auto records = capture->Read();
    ASSERT_EQ(records.size(), 3U);
    EXPECT_EQ(records[0].type, kJobStarted);
    EXPECT_EQ(records[1].type, kJobEnded);
    EXPECT_EQ(records[2].type, 99U);  // unknown types are the receiver's to judge
    EXPECT_EQ(RecordText(records[1].groupFileName), L"/g.grp");

    const std::string path = capture->Path();
    capture.reset();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(poster.Post(MakeJobMessage(kJobEnded, L"doc", L"", L"P")));
}

TEST_F(VendorFolders, settings_per_printer_and_the_structure_the_monitor_reads) {
    {
        std::ofstream(dir_ / "printers" / "Sheetwise_Print_Driver.conf")
            << "# comment\nPipeName = "
               "SWJobs\nResolution=300\nPageSeconds=oops\nParameter307=/opt/sw/KVPrintMonitor\n";
    }
    PrinterSettings settings = PrinterSettings::Load("Sheetwise_Print_Driver");
    EXPECT_EQ(settings.PipeName(), L"SWJobs");
    EXPECT_EQ(settings.Resolution(), 300);
    EXPECT_EQ(settings.PageSeconds(), 30);  // an unreadable value keeps the default
    EXPECT_EQ(settings.GetParameter(307), "/opt/sw/KVPrintMonitor");
    EXPECT_EQ(PrinterSettings::Load("Other").PipeName(), L"Other");
    settings.SetParameter(206, "100\nInjected=1");
    std::string error;
    ASSERT_TRUE(settings.Save(&error)) << error;
    const PrinterSettings reread = PrinterSettings::Load("Sheetwise_Print_Driver");
    EXPECT_EQ(reread.GetParameter(206), "100 Injected=1");
    EXPECT_EQ(reread.Get("Injected"), "");

    std::vector<std::uint8_t> dm(kDevModeSize + 8, 0xCC);
    ASSERT_TRUE(GetPrinterCurrentSettings(L"Sheetwise Print Driver", 0, dm.data(), dm.size()));
    EXPECT_EQ(DevModePipeName(dm.data()), L"SWJobs");
    EXPECT_EQ(DevModeValue(dm.data(), kDevModeNOffset), 0U);  // no job yet
    ASSERT_TRUE(EnsureRuntimeFolder(::getuid(), &error)) << error;
    ASSERT_TRUE(WritePageValues(::getuid(), "Sheetwise_Print_Driver", {4, 3}, &error)) << error;
    ASSERT_TRUE(GetPrinterCurrentSettings(L"Sheetwise Print Driver", 0, dm.data(), dm.size()));
    EXPECT_EQ(DevModeValue(dm.data(), kDevModeNOffset), 4U);
    EXPECT_EQ(DevModeValue(dm.data(), kDevModeFOffset), 3U);
    EXPECT_EQ(dm[68] | (dm[69] << 8), 220);                                // dmSize
    EXPECT_EQ((dm[68] | (dm[69] << 8)) + (dm[70] | (dm[71] << 8)), 2628);  // with dmDriverExtra
    EXPECT_FALSE(GetPrinterCurrentSettings(L"Sheetwise Print Driver", 0, dm.data(), 2627));
}
