#include "setup/install/KVInstallerState.h"

#include "platform/shell/FileCalls.h"
#include "setup/app/KVPrintDriverCommandLine.h"
#include "setup/install/KVDriverNames.h"

const KVDriverNames& DriverNames() {
    static const KVDriverNames names;
    return names;
}

KVInstallerState& InstallerState() {
    static KVInstallerState state;
    return state;
}

void ReportInstallError(const std::wstring& message) {
    InstallerState().strErrorText += L"\n" + message;
}

bool CheckOperatingSystem(int nRequestedVersion, bool report) {
    const sw::shell::OsVersion version = sw::shell::GetOsVersion();
    if (version.platformId == sw::shell::kPlatformWin9x) {
        if (nRequestedVersion != KVPrintDriverCommandLine::Version9598ME) {
            if (report) {
                ReportInstallError(
                    L"This version of the installation requires Windows NT/2000/XP.  Please use the 95/98/ME "
                    L"installation file.");
            }
            return false;
        }
        return true;
    }
    if (version.platformId == sw::shell::kPlatformNt) {
        if (version.majorVersion == 5) {
            InstallerState().bWindows2000XP = true;
        }
        if (nRequestedVersion != KVPrintDriverCommandLine::VersionNT) {
            if (report) {
                ReportInstallError(
                    L"This version of the installation requires Windows 95/98/ME.  Please use the NT/2000/XP "
                    L"installation file.");
            }
            return false;
        }
        return true;
    }
    return false;
}

std::wstring WithSeparator(std::wstring folder) {
    if (folder.empty() || folder.back() != L'/') {
        folder += L'/';
    }
    return folder;
}
