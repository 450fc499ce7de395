#include "setup/uninstall/KVUninstallSequence.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell/FileCalls.h"
#include "platform/shell/Shell.h"
#include "platform/ui/MessageBox.h"
#include "platform/vendor/DriverInstall.h"
#include "setup/install/KVDriverNames.h"
#include "setup/install/KVInstallerState.h"
#include "setup/res/CDlgUninstall.h"
#include "setup/uninstall/KVSpoolerRemoval.h"
#include "setup/uninstall/KVUserSettingsCleanup.h"

namespace {

constexpr const wchar_t* kDriverErrorCaption = L"Error removing the printer driver.";
constexpr const wchar_t* kLockedDriverText =
    L"The specified printer driver is currently locked and cannot be removed.\n    Close all applications "
    L"then "
    L"press RETRY in order to \n    to delete the printer driver.\n\n    If you have all applications closed "
    L"and "
    L"still unable\n    to remove the printer driver, cancel the uninstall, REBOOT your computer and run\n   "
    L" the "
    L"uninstall from Control Panel/Add or Remove Programs again.\n    Press Cancel to abort the uninstall "
    L"for now.";
constexpr const wchar_t* kLockedDriverWarning =
    L"WARNING!\n    The printer driver cannot be removed.\n    If you cancel the uninstall now, the printer "
    L"will be "
    L"only partially removed\n    and may affect new installations of this printer.\n    Press RETRY to "
    L"remove the "
    L"printer driver or Cancel to exit the uninstall process.";

void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::wstring Folder(int (*lookup)(const char*, const char*, char*)) {
    char folder[sw::vendor::install::kPathBytes] = {};
    lookup(nullptr, "", folder);
    return sw::shell::FromNarrow(folder);
}

// Deletes the driver, asking whether to try again while it is in use.
bool DeleteDriverAsking(const std::wstring& driverName, HWND owner) {
    for (;;) {
        const unsigned long error = removal::DeleteDriver(driverName);
        if (error == 0) {
            return true;
        }
        if (error != removal::kDriverInUse) {
            wchar_t text[128];
            std::swprintf(text, 128, L"Error deleting the printer driver. \nError %d",
                          static_cast<int>(error));
            MessageBox(owner, text, kDriverErrorCaption, MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        if (MessageBox(owner, kLockedDriverText, kDriverErrorCaption, MB_RETRYCANCEL) == IDRETRY) {
            continue;
        }
        if (MessageBox(owner, kLockedDriverWarning, L"Warning", MB_RETRYCANCEL | MB_ICONEXCLAMATION) ==
            IDRETRY) {
            continue;
        }
        return false;
    }
}

bool RemovePrintersAndDriver(const KVDriverNames& names, HWND owner) {
    if (!removal::DeletePrintersOfDriver(names.driverName)) {
        return false;
    }
    if (!removal::IsDriverInstalled(names.driverName)) {
        return true;
    }
    return DeleteDriverAsking(names.driverName, owner);
}

bool Remove(const KVDriverNames& names) {
    CDlgUninstall dlg;
    dlg.Create();
    dlg.ShowWindow();
    Pause(100);
    dlg.SetPos(5);
    dlg.SetStatusText(L"Removing printer driver ...");
    dlg.SetPos(25);
    dlg.SetStatusText(L"Removing the printer and the driver...");
    dlg.SetPos(35);
    if (!RemovePrintersAndDriver(names, dlg.GetSafeHwnd())) {
        dlg.DestroyWindow();
        return false;
    }
    dlg.SetStatusText(L"Removing Port Monitor ...");
    dlg.SetPos(60);
    if (removal::IsMonitorInstalled(names.monitorName)) {
        removal::RemovePortsAndMonitor(names.monitorName, names.printerName);
    }
    dlg.SetStatusText(L"Removing Print Processor ...");
    dlg.SetPos(80);
    removal::RemovePrintProcessor(names.processorName);
    CleanUserPrinterSettings(names.printerName);
    dlg.SetPos(95);
    dlg.SetStatusText(L"Uninstall complete...");
    dlg.SetPos(100);
    Pause(200);
    dlg.SetPos(100);
    dlg.DestroyWindow();
    return true;
}

}  // namespace

bool UninstallPrinterDriver(int nRequestedVersion) {
    const KVDriverNames& names = DriverNames();
    std::wstring driverFolder = Folder(sw::vendor::install::GetPrinterDriverDirectory);
    std::wstring processorFolder = Folder(sw::vendor::install::GetPrintProcessorDirectory);
    CheckOperatingSystem(nRequestedVersion, false);

    if (!Remove(names)) {
        ReportInstallError(L"Uninstall failed!  Please close all applications and try again.");
        return false;
    }
    if (driverFolder.empty() || processorFolder.empty()) {
        return true;
    }
    driverFolder = WithSeparator(driverFolder);
    processorFolder = WithSeparator(processorFolder);
    // A spooler that was not running is not started by the uninstall.
    const bool stopped = removal::StopSpooler();

    std::vector<std::wstring> files;
    for (const std::wstring& folder : {driverFolder, driverFolder + L"2/"}) {
        for (const std::wstring* file : {&names.driverFile, &names.dataFile, &names.resourceFile,
                                         &names.configFile, &names.tiffLibrary, &names.jpegLibrary}) {
            if (!file->empty()) {
                files.push_back(folder + *file);
            }
        }
    }
    if (!names.processorFile.empty()) {
        files.push_back(processorFolder + names.processorFile);
    }
    bool someRemain = false;
    std::vector<std::wstring> staying;  // neither deleted nor to be deleted at the next start
    for (const std::wstring& file : files) {
        // A file that is not there has nothing left to remove.
        if (sw::shell::DeleteFile(file) || !sw::shell::FileExists(file)) {
            continue;
        }
        someRemain = true;
        std::wstring reason;
        if (!sw::shell::DeleteFileAtNextStart(file, &reason)) {
            staying.push_back(file);
            staying.back().append(L" (").append(reason).append(L")");
        }
    }
    if (someRemain && staying.empty()) {
        AfxMessageBox(
            L"The Sheetwise Print Driver was uninstalled, but some files were not able to be removed.  These "
            L"files "
            L"will be deleted after the next reboot.  Please do not attempt to reinstall the Sheetwise Print "
            L"Driver before rebooting or unexpected results may occur.",
            MB_OK);
    }
    if (stopped) {
        removal::StartSpooler();
    }
    if (!staying.empty()) {
        std::wstring list;
        for (const std::wstring& file : staying) {
            list += L"\n    " + file;
        }
        ReportInstallError(
            L"The Sheetwise Print Driver was uninstalled, but these files could not be removed and "
            L"will stay; delete them by hand:" +
            list);
        return false;
    }
    return true;
}
