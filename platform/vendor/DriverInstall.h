// The vendor's driver-installation library: the calls an installer makes
// to find the spooler's folders, register the driver, its print processor,
// port monitor, port and printer, and hand over the driver's numbered
// parameters. The vendor's library is reached by ordinal; each call below
// names the ordinal it answers.
//
// On Linux the calls act through the spooler layer (SpoolerAdmin.h) on
// CUPS: the driver is the PPD and the backend program, the port monitor the
// backend as the scheduler runs it for its URI scheme, the port a device
// URI of that scheme, the print processor the PPD's filter chain, the
// printer a queue. Texts are narrow (UTF-8), at most 260 bytes each.
//
// Results follow the vendor's conventions, which differ from call to call:
// read each one's comment. Where a call leaves a reason, LastError() tells
// it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sw::vendor::install {

inline constexpr std::size_t kPathBytes = 260;

// Numbered installation parameters (SetInstallParameter).
inline constexpr std::int32_t PAR_INIC_PARAMETERS = 0;  // "2": a new set of parameters begins
inline constexpr std::int32_t PAR_DRIVER_DRIVERFILE = 3;
inline constexpr std::int32_t PAR_DRIVER_DATAFILE = 4;
inline constexpr std::int32_t PAR_DRIVER_CONFIGFILE = 5;
inline constexpr std::int32_t PAR_PRINTER_NAME = 101;
inline constexpr std::int32_t PAR_PRINTER_PORT = 102;
inline constexpr std::int32_t PAR_PRINTER_PROCESS = 103;
// Driver settings read back by the system: the install folder and the
// program the driver starts for each job in the owner's session.
inline constexpr std::int32_t PAR_INSTALL_FOLDER = 303;
inline constexpr std::int32_t PAR_START_APPLICATION = 307;

// Ordinal 5: 1 and the driver folder (no trailing "/") in `folder`.
int GetPrinterDriverDirectory(const char* server, const char* environment, char folder[kPathBytes]);
// Ordinal 29: non-zero and the print processor folder in `folder`.
int GetPrintProcessorDirectory(const char* server, const char* environment, char folder[kPathBytes]);
// Ordinal 31: non-zero when the machine runs terminal sessions the driver
// cannot serve. Every Linux session has its own job folder and message
// pipe, so this is always 0.
int IsTerminalServicesEnabled();

// Ordinal 6: 1 when the driver is installed.
int IsPrinterDriverInstalled(const char* driverName);
// Ordinal 13: 0 when the driver was deleted.
int DeletePrinterDriver(const char* server, const char* environment, const char* driverName);
// Ordinal 43: 1 when the driver was added from the files already copied
// into the driver folder's "2" folder (driver file and data file; the
// other files have no part on Linux and may be empty).
int AddPrinterDriver(const char* driverName, const char* driverFile, const char* dataFile,
                     const char* configFile, const char* resourceFile, const char* tiffLibrary,
                     const char* jpegLibrary);

// Ordinal 24: 1 when the print processor is installed.
int IsPrintProcessorInstalled(const char* processorName);
// Ordinal 18: removes it; LastError() is 0 afterwards when it went.
void DeletePrintProcessor(const char* processorName);
// Ordinal 15: 0 when it was added.
int AddPrintProcessor(const char* processorFile, const char* processorName);

// Ordinal 23: 1 when the port monitor is installed.
int IsPortMonitorInstalled(const char* monitorName);
// Ordinal 17: 0 when it was added. The monitor file is the backend program
// in the driver folder's "2" folder; it is installed into the scheduler.
int AddPortMonitor(const char* monitorFile, const char* monitorName);
// Ordinal 25: 1 when the monitor has a port of that name.
int IsPortInstalled(const char* portName, const char* monitorName);
// Ordinal 26: 0 when the port was added.
int AddPort(const char* portName, const char* monitorName);

// Ordinal 9: 0 when the printer was added (paused until StartPrinter);
// otherwise LastError() tells why.
int AddPrinter(const char* printerName, const char* portName, const char* driverName,
               const char* processorName);

// Ordinal 4: 1 when the parameter was stored. Parameters are the driver's
// settings of the printer named by PAR_PRINTER_NAME, kept in its settings
// file as "ParameterNNN=value" (PrinterSettings.h); those given before the
// name is known are stored with it.
int SetInstallParameter(const char* server, const std::int32_t* number, const char* value);
// Ordinals 11 and 12: the vendor's commit calls. Every parameter is stored
// when it is set, so nothing is left to commit; they answer 1.
int CommitParameters(const char* server, const std::int32_t* reserved, int flags);
int CommitSettings(const char* server, const std::int32_t* reserved, int flags);
// Ordinal 35: stores the install folder (parameter 303) as the product's
// "InstallFolder" in the machine's settings store, where the programs look
// for each other. 1 when stored.
int CreateRegistryKeys();
// Ordinal 45: opens the printer for jobs (it accepts and prints them). 1
// when it did.
int StartPrinter(const char* printerName);

// The reason the last call above failed (spooler error codes; 0 after success).
std::uint32_t LastError();
void SetLastError(std::uint32_t error);

}  // namespace sw::vendor::install
