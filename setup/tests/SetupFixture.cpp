#include "setup/tests/SetupFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/registry/Registry.h"
#include "platform/spooler/SpoolerAdmin.h"
#include "platform/vendor/PrinterSettings.h"

namespace {

const std::string kBackend = SW_BINARY_DIR "/bin/cups-backend/sheetwise";
const std::string kSetup = SW_BINARY_DIR "/bin/SheetwiseSetup";
const std::string kPpd = SW_SOURCE_DIR "/driver/ppd/sheetwise.ppd";

}  // namespace

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void SetupFixture::SetUp() {
    std::string reason;
    if (!sw::testing::PrivateCupsd::Available(&reason)) {
        GTEST_SKIP() << reason;
    }
    root_ = fs::temp_directory_path() / ("setup_test_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    for (const char* dir : {"store", "printers", "run", "jobs", "spooler", "tmpfiles", "install", "homes"}) {
        fs::create_directories(root_ / dir);
        ::chmod((root_ / dir).c_str(), 0755);
    }
    ::chmod(root_.c_str(), 0755);
    install_ = root_ / "install";
    drivers_ = root_ / "spooler" / "drivers";
    fs::copy_file(kBackend, install_ / "sheetwise");
    fs::copy_file(kPpd, install_ / "sheetwise.ppd");
    WriteText(install_ / "KVPrintMonitor", "#!/bin/sh\n");

    const std::map<std::string, std::string> environment = {
        {"SHEETWISE_REGISTRY_DIR", (root_ / "store").string()},
        {"SHEETWISE_PRINTER_DIR", (root_ / "printers").string()},
        {"SHEETWISE_RUNTIME_ROOT", (root_ / "run").string()},
        {"SHEETWISE_SPOOLER_DIR", (root_ / "spooler").string()},
        {"SHEETWISE_PASSWD", (root_ / "passwd").string()},
        {"SHEETWISE_TMPFILES_DIR", (root_ / "tmpfiles").string()},
    };
    for (const auto& [name, value] : environment) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    sw::registry::CloseAllConnections();
    WriteText(root_ / "passwd", "");
    // Job files stay in the test's folder.
    sw::vendor::PrinterSettings settings = sw::vendor::PrinterSettings::Load(kQueue);
    settings.Set("SpoolFolder", (root_ / "jobs").string());
    std::string error;
    ASSERT_TRUE(settings.Save(&error)) << error;

    // A second scheme served by the same program, for ports of another monitor.
    cupsd_ = std::make_unique<sw::testing::PrivateCupsd>(
        sw::testing::CupsdOptions{{{"othersch", kBackend}},
                                  {{"SHEETWISE_PRINTER_DIR", (root_ / "printers").string()},
                                   {"SHEETWISE_RUNTIME_ROOT", (root_ / "run").string()}}});
    ASSERT_TRUE(cupsd_->Running()) << cupsd_->Failure();
    backend_ = fs::path(cupsd_->Root()) / "bin" / "backend";
    ::setenv("SHEETWISE_CUPS_SERVERBIN", (fs::path(cupsd_->Root()) / "bin").c_str(), 1);
    ::setenv("SHEETWISE_SPOOLER_SERVICE", cupsd_->ServiceCommand().c_str(), 1);
}

void SetupFixture::TearDown() {
    cupsd_.reset();
    sw::registry::CloseAllConnections();
    if (!root_.empty() && std::getenv("SW_KEEP_CUPSD") == nullptr) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
}

int SetupFixture::RunSetup(const std::string& args, std::string* output,
                           const std::string& environment) const {
    // No display: questions get their safe answers on standard error.
    return Run(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + environment + " '" + kSetup + "' " + args,
        output);
}

int SetupFixture::Run(const std::string& command, std::string* output) const {
    return cupsd_->Run("{ " + command + "; }", output);
}

bool SetupFixture::AddMonitorWithPort(const std::wstring& monitor, const std::wstring& backend,
                                      const std::wstring& port) {
    std::wstring name = monitor;
    std::wstring program = backend;
    std::wstring environment = L"Windows 4.0";
    MONITOR_INFO_2W info{name.data(), environment.data(), program.data()};
    std::wstring portName = port;
    PORT_INFO_1W portInfo{portName.data()};
    const bool added = AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) &&
                       AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&portInfo), name.c_str());
    sw::registry::CloseAllConnections();
    return added;
}
