// The spooler's side of the uninstall: printers, driver, ports, port
// monitor and print processor, and stopping and starting the spooler.
// Kept apart from the windows that ask the user what to do.
#pragma once

#include <string>

namespace removal {

inline constexpr unsigned long kDriverInUse = 3001;

// Deletes every local printer whose driver is `driverName` (any case).
bool DeletePrintersOfDriver(const std::wstring& driverName);
// Whether the driver is among the installed ones (exact name).
bool IsDriverInstalled(const std::wstring& driverName);
// One attempt at deleting the driver: 0, or the spooler's error.
unsigned long DeleteDriver(const std::wstring& driverName);

// Whether the port monitor is installed (exact name).
bool IsMonitorInstalled(const std::wstring& monitorName);
// Deletes the monitor's ports that no other printer than `printerName`
// uses, then the monitor when none of its ports is left.
void RemovePortsAndMonitor(const std::wstring& monitorName, const std::wstring& printerName);

// Deletes the print processor; only when that succeeded, its "Driver"
// value and its key.
void RemovePrintProcessor(const std::wstring& processorName);

// The "Spooler" service.
bool StopSpooler();
bool StartSpooler();

}  // namespace removal
