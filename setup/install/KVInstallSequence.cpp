#include "setup/install/KVInstallSequence.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lib/util/KVLibUtility.h"
#include "platform/shell/FileCalls.h"
#include "platform/shell/Shell.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"
#include "platform/vendor/DriverInstall.h"
#include "setup/install/KVDriverNames.h"
#include "setup/install/KVInstallerState.h"
#include "setup/res/KVPrintDriverInstallerDlg.h"

namespace vendor = sw::vendor::install;

namespace {

// A text as the vendor's library takes it: narrow, at most 260 bytes.
class Ansi {
public:
    explicit Ansi(const std::wstring& text) {
        CopyLPTSTRtoLPSTR(text.c_str(), m_buffer.data(), static_cast<long>(m_buffer.size() - 1));
    }
    operator const char*() const { return m_buffer.data(); }

private:
    std::array<char, vendor::kPathBytes + 1> m_buffer{};
};

std::wstring Wide(const char* text) {
    return sw::shell::FromNarrow(text);
}

std::wstring WithoutQuotes(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
    return text;
}

// One run of the sequence: its folders and the options it was started with.
class InstallRun {
public:
    InstallRun(const std::wstring& installFolder, int requestedVersion)
        : m_installFolder(installFolder), m_requestedVersion(requestedVersion) {}

    bool Run(KVPrintDriverInstallerDlg* pDlg);

private:
    bool ValidateDestinationFolder();
    bool ValidateTerminalServer();
    bool SetGlobalVariables();
    bool CheckExistingDriver();
    bool CopyInstallationFiles();
    bool SetInstallationParameters();
    bool InstallDriver();
    bool CopyOne(const std::wstring& from, const std::wstring& to, const std::wstring& file,
                 const wchar_t* message);

    const KVDriverNames& m_names = DriverNames();
    std::wstring m_installFolder;
    int m_requestedVersion;
    std::wstring m_windowsFolder;
    std::wstring m_systemFolder;
    std::wstring m_driverFolder;
    std::wstring m_processorFolder;
};

bool InstallRun::Run(KVPrintDriverInstallerDlg* pDlg) {
    const CWaitCursor wait;
    InstallerState().strErrorText.clear();
    m_windowsFolder = WithSeparator(sw::shell::WindowsFolder());
    m_systemFolder = WithSeparator(sw::shell::SystemFolder());

    struct Step {
        const wchar_t* text;  // null: the text stays as it is
        int advance;
        std::function<bool()> work;
    };
    const std::vector<Step> steps = {
        {L"Validating Operating System...", 5,
         [this] { return CheckOperatingSystem(m_requestedVersion, true); }},
        {L"Validating Destination Folder...", 5, [this] { return ValidateDestinationFolder(); }},
        {L"Validating Administrative Privleges...", 5, [] { return true; }},
        {L"Validating Terminal Server...", 5, [this] { return ValidateTerminalServer(); }},
        {L"Setting Global Variables...", 5, [this] { return SetGlobalVariables(); }},
        {L"Checking For Existing Driver...", 10, [this] { return CheckExistingDriver(); }},
        {L"Copying Installation Files...", 10, [this] { return CopyInstallationFiles(); }},
        {L"Setting Printer Driver Installation Parameters...", 5,
         [this] { return SetInstallationParameters(); }},
        {nullptr, 5, [] { return true; }},
        {L"Installing Printer Driver...", 30, [this] { return InstallDriver(); }},
        {L"Creating Registry Keys...", 5,
         [] {
             vendor::CreateRegistryKeys();
             return true;
         }},
        {nullptr, 5,
         [this] {
             vendor::StartPrinter(Ansi(m_names.printerName));
             return true;
         }},
        {L"Creating Shell Objects...", 5, [] { return true; }},
    };
    bool success = true;
    for (const Step& step : steps) {
        if (pDlg != nullptr && step.text != nullptr) {
            pDlg->SetStatusText(step.text);
        }
        if (success) {
            success = step.work();
        }
        if (pDlg != nullptr) {
            pDlg->SetStep(step.advance);
            pDlg->StepIt();
        }
    }
    return success;
}

bool InstallRun::ValidateDestinationFolder() {
    if (m_installFolder.empty()) {
        ReportInstallError(L"An installation folder must be specified.");
        return false;
    }
    return true;
}

bool InstallRun::ValidateTerminalServer() {
    if (vendor::IsTerminalServicesEnabled() != 0) {
        ReportInstallError(
            L"This driver will not work correctly when Terminal Services are enabled. Please install the "
            L"Terminal "
            L"Server version of the driver.");
        return false;
    }
    return true;
}

bool InstallRun::SetGlobalVariables() {
    char folder[vendor::kPathBytes] = {};
    bool ok = true;
    if (vendor::GetPrinterDriverDirectory(nullptr, "", folder) == 1) {
        m_driverFolder = Wide(folder);
    }
    if (m_driverFolder.empty()) {
        ReportInstallError(L"Could not get the printer driver directory.");
        ok = false;
    }
    folder[0] = '\0';
    if (vendor::GetPrintProcessorDirectory(nullptr, "", folder) != 0) {
        m_processorFolder = Wide(folder);
    }
    if (m_processorFolder.empty()) {
        ReportInstallError(L"Could not get the print processor directory.");
        ok = false;
    }
    m_systemFolder = WithSeparator(sw::shell::SystemFolder());
    return ok;
}

bool InstallRun::CheckExistingDriver() {
    if (vendor::IsPrinterDriverInstalled(Ansi(m_names.driverName)) == 1) {
        const std::wstring question =
            L"The driver " + m_names.driverName +
            L" is already installed.  Do you want to remove it and reinstall this version?";
        if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            ReportInstallError(L"Cannot install duplicate driver.");
            return false;
        }
        if (vendor::DeletePrinterDriver(nullptr, "", Ansi(m_names.driverName)) != 0) {
            ReportInstallError(
                L"Could not delete the printer driver!  There may be another process using it.  Close all "
                L"applications and restart setup.");
            return false;
        }
    }
    if (vendor::IsPrintProcessorInstalled(Ansi(m_names.processorName)) == 1) {
        vendor::DeletePrintProcessor(Ansi(m_names.processorName));
        if (vendor::LastError() != 0) {
            ReportInstallError(L"Could not uninstall Sheetwise Print Processor " + m_names.processorName);
            return false;
        }
    }
    return true;
}

bool InstallRun::CopyOne(const std::wstring& from, const std::wstring& to, const std::wstring& file,
                         const wchar_t* message) {
    if (file.empty()) {
        return true;  // no such file on this system
    }
    if (!sw::shell::CopyFile(from + file, to + file)) {
        ReportInstallError(message);
        return false;
    }
    return true;
}

bool InstallRun::CopyInstallationFiles() {
    bool ok = true;
    if (m_installFolder.empty()) {
        ReportInstallError(L"Installation directory could not be determined while copying files.");
        ok = false;
    }
    if (m_driverFolder.empty()) {
        ReportInstallError(L"Printer driver directory could not be determined while copying files.");
        ok = false;
    }
    if (m_processorFolder.empty()) {
        ReportInstallError(L"Printer processor directory could not be determined while copying files.");
        return false;
    }
    if (!ok) {
        return false;
    }
    m_driverFolder = WithSeparator(WithoutQuotes(m_driverFolder));
    m_installFolder = WithSeparator(WithoutQuotes(m_installFolder));
    m_processorFolder = WithSeparator(WithoutQuotes(m_processorFolder));
    m_systemFolder = WithSeparator(WithoutQuotes(m_systemFolder));
    const std::wstring versionFolder = m_driverFolder + L"2/";
    sw::shell::CreateDirectory(versionFolder);

    const std::wstring& from = m_installFolder;
    ok &= CopyOne(from, m_driverFolder, m_names.driverFile,
                  L"Could not copy print driver dll file to the driver directory.");
    ok &= CopyOne(from, m_driverFolder, m_names.dataFile,
                  L"Could not copy print driver ini file to the driver directory.");
    ok &= CopyOne(from, m_driverFolder, m_names.resourceFile,
                  L"Could not copy print driver resource file to the driver directory.");
    ok &= CopyOne(from, m_driverFolder, m_names.configFile,
                  L"Could not copy print driver interface file to the driver directory.");
    ok &= CopyOne(from, m_driverFolder, m_names.tiffLibrary,
                  L"Could not copy TIFF dll file to the driver directory.");
    ok &= CopyOne(from, m_driverFolder, m_names.jpegLibrary,
                  L"Could not copy JPEG dll file to the driver directory.");

    ok &= CopyOne(from, versionFolder, m_names.driverFile,
                  L"Could not copy print driver file to the spool directory.");
    ok &= CopyOne(from, versionFolder, m_names.dataFile,
                  L"Could not copy print driver ini file to the spool directory.");
    ok &= CopyOne(from, versionFolder, m_names.resourceFile,
                  L"Could not copy print driver resource file to the spool directory.");
    ok &= CopyOne(from, versionFolder, m_names.configFile,
                  L"Could not copy print driver interface file to the spool directory.");
    ok &= CopyOne(from, versionFolder, m_names.tiffLibrary,
                  L"Could not copy TIFF dll file to the spool directory.");
    ok &= CopyOne(from, versionFolder, m_names.jpegLibrary,
                  L"Could not copy JPEG dll file to the spool directory.");

    const std::wstring processorSource =
        InstallerState().bWindows2000XP ? m_installFolder + L"Process.2K/" : m_installFolder;
    ok &= CopyOne(processorSource, m_processorFolder, m_names.processorFile,
                  L"Could not copy print processor file to the spool directory.");
    return ok;
}

bool InstallRun::SetInstallationParameters() {
    struct Parameter {
        std::int32_t number;
        std::wstring value;
        const wchar_t* message;
    };
    const std::vector<Parameter> parameters = {
        {vendor::PAR_INIC_PARAMETERS, L"2", L"Could not set PAR_INIC_PARAMTERS parameter."},
        {vendor::PAR_PRINTER_NAME, m_names.driverName, L"Could not set PAR_PRINTER_NAME parameter."},
        {vendor::PAR_DRIVER_CONFIGFILE, m_names.configFile,
         L"Could not set PAR_DRIVER_CONFIGFILE parameter."},
        {vendor::PAR_DRIVER_DRIVERFILE, m_names.driverFile,
         L"Could not set PAR_DRIVER_DRIVERFILE parameter."},
        {vendor::PAR_DRIVER_DATAFILE, m_names.dataFile, L"Could not set PAR_DRIVER_DATAFILE parameter."},
        {vendor::PAR_PRINTER_PROCESS, m_names.processorName, L"Could not set PAR_PRINTER_PROCESS parameter."},
        {vendor::PAR_PRINTER_PORT, m_names.portName, L"Could not set PAR_PRINTER_PORT parameter."},
    };
    bool ok = true;
    for (const Parameter& p : parameters) {
        if (vendor::SetInstallParameter(nullptr, &p.number, Ansi(p.value)) != 1) {
            ReportInstallError(p.message);
            ok = false;
        }
    }
    return ok;
}

bool InstallRun::InstallDriver() {
    if (vendor::IsPrinterDriverInstalled(Ansi(m_names.driverName)) == 1) {
        return true;
    }
    if (vendor::AddPrinterDriver(Ansi(m_names.driverName), Ansi(m_names.driverFile), Ansi(m_names.dataFile),
                                 Ansi(m_names.configFile), Ansi(m_names.resourceFile),
                                 Ansi(m_names.tiffLibrary), Ansi(m_names.jpegLibrary)) != 1) {
        ReportInstallError(L"Could not add printer driver!");
        return false;
    }
    bool ok = true;
    if (vendor::IsPrintProcessorInstalled(Ansi(m_names.processorName)) != 1 &&
        vendor::AddPrintProcessor(Ansi(m_names.processorFile), Ansi(m_names.processorName)) != 0) {
        ReportInstallError(L"Could not add print processor!");
        ok = false;
    }
    if (vendor::IsPortMonitorInstalled(Ansi(m_names.monitorName)) != 1 &&
        vendor::AddPortMonitor(Ansi(m_names.monitorFile), Ansi(m_names.monitorName)) != 0) {
        ReportInstallError(L"Could not add port monitor!");
        ok = false;
    }
    if (vendor::IsPortInstalled(Ansi(m_names.portName), Ansi(m_names.monitorName)) != 1 &&
        vendor::AddPort(Ansi(m_names.portName), Ansi(m_names.monitorName)) != 0) {
        ReportInstallError(L"Could not add port!");
        ok = false;
    }
    if (vendor::AddPrinter(Ansi(m_names.printerName), Ansi(m_names.portName), Ansi(m_names.driverName),
                           Ansi(m_names.processorName)) != 0) {
        ReportInstallError(L"Could not add printer!  Error Code: " + std::to_wstring(vendor::LastError()));
        ok = false;
    }

    const std::wstring resource =
        m_names.resourceFile.empty() ? std::wstring() : m_systemFolder + m_names.resourceFile;
    const std::vector<std::pair<std::int32_t, std::wstring>> settings = {
        {201, L"1"},     {303, m_installFolder},
        {202, L"1"},     {313, L"0"},
        {301, L"4"},     {305, L"1"},
        {318, L"0"},     {206, L"300"},
        {207, L"300"},   {205, L"1"},
        {319, resource}, {306, L"1"},
        {320, L"1"},     {307, m_installFolder},
        {322, L"8"},     {325, L"MonoMessageInterface"},
        {323, L"0"},     {326, L"1"},
        {394, L"1"},     {310, L"1"},
        {432, L"1"},     {389, L"1"},
        {206, L"100"},   {207, L"100"},
        {205, L"0"},     {307, WithSeparator(m_installFolder) + m_names.monitorProgram},
    };
    for (const auto& [number, value] : settings) {
        vendor::SetInstallParameter(nullptr, &number, Ansi(value));
    }
    const std::int32_t zero = 0;
    vendor::CommitParameters(nullptr, &zero, 0);
    vendor::CommitParameters(nullptr, &zero, 0);
    vendor::CommitSettings(nullptr, &zero, 0);
    if (!m_names.monitorStateFile.empty()) {
        sw::shell::DeleteFile(m_windowsFolder + m_names.monitorStateFile);
    }
    return ok;
}

}  // namespace

bool InstallPrinterDriver(KVPrintDriverInstallerDlg* pDlg, const std::wstring& strInstallFolder,
                          int nRequestedVersion) {
    InstallRun run(strInstallFolder, nRequestedVersion);
    return run.Run(pDlg);
}
