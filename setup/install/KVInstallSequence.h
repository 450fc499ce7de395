// The install sequence: checks the system, removes an older driver, copies
// the driver's files into the spooler's folders and has the vendor's
// library register the driver, print processor, port monitor, port and
// printer with their settings.
#pragma once

#include <string>

class KVPrintDriverInstallerDlg;

// Runs the thirteen steps; the window (null in silent mode) shows each
// step's text and moves its bar. False when a step failed: the error text
// (KVInstallerState.h) holds every message. The install folder holds the
// files to copy; nRequestedVersion is the command line's Windows version.
bool InstallPrinterDriver(KVPrintDriverInstallerDlg* pDlg, const std::wstring& strInstallFolder,
                          int nRequestedVersion);
