// A machine of the test's own for the installer: a scheduler in a temporary
// folder (its service stopped and started through its own script), the
// settings store, spooler folders, printer settings, account list and
// boot-time deletion list all under the same folder, and an install folder
// holding the driver's files as the package leaves them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/spooler/testing/PrivateCupsd.h"

namespace fs = std::filesystem;

class SetupFixture : public ::testing::Test {
protected:
    static constexpr const char* kQueue = "Sheetwise_Print_Driver";

    void SetUp() override;
    void TearDown() override;

    // Runs SheetwiseSetup without a display and with `args`; its exit status,
    // its output in `output`. `environment` is put before the program
    // (NAME=value ..., then possibly a command that runs it).
    int RunSetup(const std::string& args, std::string* output = nullptr,
                 const std::string& environment = {}) const;
    std::string InstallArgs() const {
        return "-install -WINNT -Silent -INSTALLDIR '" + install_.string() + "'";
    }
    // A shell command against the scheduler; its exit status and output.
    int Run(const std::string& command, std::string* output = nullptr) const;
    // Registers a port monitor served by a backend the scheduler has, with one port.
    static bool AddMonitorWithPort(const std::wstring& monitor, const std::wstring& backend,
                                   const std::wstring& port);
    bool QueueExists(const std::string& queue) const { return Run("lpstat -p '" + queue + "'") == 0; }

    fs::path root_;
    fs::path install_;  // the files the package installs
    fs::path drivers_;  // the spooler's driver folder
    fs::path backend_;  // where the scheduler runs the backend from
    std::unique_ptr<sw::testing::PrivateCupsd> cupsd_;
};

std::string ReadText(const fs::path& path);
void WriteText(const fs::path& path, const std::string& text);
