// What the install and uninstall sequences share with the application: the
// collected error text and the system check's result.
#pragma once

#include <string>

struct KVInstallerState {
    // Emptied at the start of each install; each failure adds "\n" and its message.
    std::wstring strErrorText;
    // Set by the system check on a 2000/XP system (never on Linux).
    bool bWindows2000XP = false;
};

KVInstallerState& InstallerState();

// Appends a failure's message to the error text.
void ReportInstallError(const std::wstring& message);

// The system check of both sequences: false, with its message reported
// when `report` is set, unless the running system matches the requested
// Windows version (KVPrintDriverCommandLine::VersionNT on Linux).
bool CheckOperatingSystem(int nRequestedVersion, bool report);

// A folder with "/" at its end.
std::wstring WithSeparator(std::wstring folder);
