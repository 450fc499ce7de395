// The spooler calls against a scheduler of the test's own: a printer opened
// by its name, its information and job list as the monitor reads them, and
// a job deleted through the driver's job control.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/spooler/WinSpool.h"
#include "platform/spooler/testing/PrivateCupsd.h"
#include "platform/vendor/JobControl.h"
#include "platform/vendor/PrinterSettings.h"

using sw::testing::PrivateCupsd;

namespace {

const std::string kBackend = SW_BINARY_DIR "/bin/cups-backend/sheetwise";
const std::string kPpd = SW_SOURCE_DIR "/driver/ppd/sheetwise.ppd";

std::vector<BYTE> Fetch(const std::function<BOOL(LPBYTE, DWORD, LPDWORD)>& call) {
    DWORD needed = 0;
    EXPECT_EQ(call(nullptr, 0, &needed), FALSE);
    EXPECT_EQ(SpoolerGetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed);
    EXPECT_EQ(call(buffer.data(), needed, &needed), TRUE) << SpoolerLastErrorText();
    return buffer;
}

}  // namespace

TEST(spooler_test, printer_jobs_and_job_control_through_cups) {
    std::string reason;
    if (!PrivateCupsd::Available(&reason)) {
        GTEST_SKIP() << reason;
    }
    PrivateCupsd cupsd({{{"sheetwise", kBackend}}, {}});
    ASSERT_TRUE(cupsd.Running()) << cupsd.Failure();
    std::string out;
    ASSERT_EQ(cupsd.Run("lpadmin -p Sheetwise_Print_Driver -D 'Sheetwise Print Driver' -v sheetwise:/ -P '" +
                            kPpd + "' -E",
                        &out),
              0)
        << out;

    HANDLE printer = nullptr;
    EXPECT_EQ(OpenPrinterW(L"No Such Printer", &printer, nullptr), FALSE);
    EXPECT_EQ(SpoolerGetLastError(), ERROR_INVALID_PRINTER_NAME);
    ASSERT_EQ(OpenPrinterW(L"Sheetwise Print Driver", &printer, nullptr), TRUE) << SpoolerLastErrorText();

    // Two held jobs: they stay queued for the job list.
    const std::string report = cupsd.Root() + "/report.pdf";
    ASSERT_EQ(
        cupsd.Run("{ printf 'x' >'" + report + "' && lp -H hold -d Sheetwise_Print_Driver -t report.pdf '" +
                      report + "' && lp -H hold -d Sheetwise_Print_Driver -t 'Q3 sales' '" + report + "'; }",
                  &out),
        0)
        << out;

    auto info = Fetch([&](LPBYTE b, DWORD n, LPDWORD need) { return GetPrinterW(printer, 2, b, n, need); });
    const auto* p2 = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
    EXPECT_STREQ(p2->pPrinterName, L"Sheetwise Print Driver");
    EXPECT_STREQ(p2->pPortName, L"sheetwise:/");
    EXPECT_STREQ(p2->pDriverName, L"Sheetwise Print Driver");
    EXPECT_STREQ(p2->pComment, L"Sheetwise Print Driver");
    EXPECT_EQ(p2->cJobs, 2U);
    ASSERT_NE(p2->pDevMode, nullptr);
    EXPECT_EQ(sw::vendor::DevModePipeName(reinterpret_cast<const std::uint8_t*>(p2->pDevMode)),
              L"Sheetwise_Print_Driver");

    DWORD returned = 0;
    auto jobs = Fetch([&](LPBYTE b, DWORD n, LPDWORD need) {
        return EnumJobsW(printer, 0, p2->cJobs, 2, b, n, need, &returned);
    });
    ASSERT_EQ(returned, 2U);
    const auto* j = reinterpret_cast<const JOB_INFO_2W*>(jobs.data());
    EXPECT_STREQ(j[0].pDocument, L"report");  // the printed file's ".pdf" is not the document's
    EXPECT_STREQ(j[1].pDocument, L"Q3 sales");
    EXPECT_STREQ(j[0].pPrinterName, L"Sheetwise Print Driver");
    EXPECT_EQ(j[0].Status, JOB_STATUS_PAUSED);
    EXPECT_LT(j[0].JobId, j[1].JobId);
    const DWORD deleted = j[0].JobId;

    // The driver's job control deletes by printer name and job.
    std::string error;
    ASSERT_TRUE(sw::vendor::ControlPrinterJob(L"Sheetwise Print Driver", deleted,
                                              sw::vendor::kJobControlDelete, &error))
        << error;
    EXPECT_FALSE(sw::vendor::ControlPrinterJob(L"Sheetwise Print Driver", 9999, sw::vendor::kJobControlDelete,
                                               &error));
    jobs = Fetch(
        [&](LPBYTE b, DWORD n, LPDWORD need) { return EnumJobsW(printer, 0, 10, 1, b, n, need, &returned); });
    ASSERT_EQ(returned, 1U);
    EXPECT_NE(reinterpret_cast<const JOB_INFO_1W*>(jobs.data())->JobId, deleted);

    EXPECT_EQ(DocumentPropertiesW(nullptr, printer, nullptr, nullptr, nullptr, 0), 2628);
    std::vector<BYTE> dm(2628);
    EXPECT_EQ(DocumentPropertiesW(nullptr, printer, nullptr, reinterpret_cast<PDEVMODEW>(dm.data()), nullptr,
                                  DM_OUT_BUFFER),
              IDOK);
    EXPECT_EQ(sw::vendor::DevModePipeName(dm.data()), L"Sheetwise_Print_Driver");

    DWORD count = 0;
    auto all = Fetch([&](LPBYTE b, DWORD n, LPDWORD need) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, b, n, need, &count);
    });
    ASSERT_EQ(count, 1U);
    EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_5W*>(all.data())->pPortName, L"sheetwise:/");
    EXPECT_EQ(ClosePrinter(printer), TRUE);
    EXPECT_EQ(GetPrinterW(printer, 2, nullptr, 0, &count), FALSE);
}
