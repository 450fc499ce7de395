// The spooler's management calls: printer drivers, print processors, port
// monitors and ports, the folders they live in, and adding printers. CUPS
// has queues, PPDs, backends and filters; this is how each stands for the
// spooler object of the same name:
//
//   printer driver   a PPD and the files that came with it, recorded under
//                    its name (the PPD's NickName, which CUPS reports as the
//                    queue's make and model). A queue uses a driver when its
//                    make and model is the driver's name.
//   print processor  a name for the filter chain a driver's PPD asks for; the
//                    filters themselves are the scheduler's (cups-filters).
//   port monitor     a CUPS backend: the program that serves one device URI
//                    scheme, installed in the scheduler's backend folder.
//   port             a device URI of a monitor's scheme. The spooler names a
//                    port by its URI, as a queue names its device; the name
//                    it was added under is its description.
//   printer          a queue (WinSpool.h).
//
// Records of drivers, processors, monitors and ports are kept in the
// machine's settings store under the keys the original spooler uses
// (SYSTEM\CurrentControlSet\Control\Print\...), so an installer finds and
// cleans them where it expects them. The spooler has one environment; the
// environment names callers pass ("Windows NT x86", "Windows 4.0") are
// accepted and otherwise ignored.
//
// Folders: the scheduler's programs are in $SHEETWISE_CUPS_SERVERBIN, else
// /usr/lib/cups; the driver folder is $SHEETWISE_SPOOLER_DIR/drivers, else
// /var/lib/sheetwise/drivers. Results and errors as WinSpool.h.
#pragma once

#include <string>

#include "platform/spooler/WinSpool.h"

struct DRIVER_INFO_1W {
    LPWSTR pName;
};

struct DRIVER_INFO_3W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;  // full paths, or names in the driver folder
    LPWSTR pDataFile;    // the PPD
    LPWSTR pConfigFile;
    LPWSTR pHelpFile;
    LPWSTR pDependentFiles;
    LPWSTR pMonitorName;
    LPWSTR pDefaultDataType;
};

struct MONITOR_INFO_1W {
    LPWSTR pName;
};

struct MONITOR_INFO_2W {
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDLLName;  // the backend program: a full path to install, or a name already installed
};

struct PORT_INFO_1W {
    LPWSTR pName;
};

struct PORT_INFO_2W {
    LPWSTR pPortName;  // the device URI
    LPWSTR pMonitorName;
    LPWSTR pDescription;  // the name the port was added under
    DWORD fPortType;
    DWORD Reserved;
};

struct PRINTPROCESSOR_INFO_1W {
    LPWSTR pName;
};

inline constexpr DWORD PORT_TYPE_WRITE = 0x0001;

inline constexpr DWORD ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr DWORD ERROR_PRINTER_DRIVER_ALREADY_INSTALLED = 1795;
inline constexpr DWORD ERROR_UNKNOWN_PORT = 1796;
inline constexpr DWORD ERROR_UNKNOWN_PRINTER_DRIVER = 1797;
inline constexpr DWORD ERROR_UNKNOWN_PRINTPROCESSOR = 1798;
inline constexpr DWORD ERROR_PRINTER_ALREADY_EXISTS = 1802;
inline constexpr DWORD ERROR_UNKNOWN_PRINT_MONITOR = 3000;
inline constexpr DWORD ERROR_PRINTER_DRIVER_IN_USE = 3001;
inline constexpr DWORD ERROR_PRINT_MONITOR_ALREADY_INSTALLED = 3006;
inline constexpr DWORD ERROR_PRINT_MONITOR_IN_USE = 3008;
inline constexpr DWORD ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED = 3012;

// Folders, level 1: the text without a trailing "/". The driver folder is
// made when missing; the print processor folder is the scheduler's filter
// folder.
BOOL GetPrinterDriverDirectoryW(LPCWSTR pName, LPCWSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                DWORD cbBuf, LPDWORD pcbNeeded);
BOOL GetPrintProcessorDirectoryW(LPCWSTR pName, LPCWSTR pEnvironment, DWORD Level, LPBYTE pPrintProcessorInfo,
                                 DWORD cbBuf, LPDWORD pcbNeeded);

// Level 3. The driver and data files must exist, and the data file must be
// a PPD whose NickName is the driver's name (the name CUPS will report).
BOOL AddPrinterDriverW(LPCWSTR pName, DWORD Level, LPBYTE pDriverInfo);
BOOL EnumPrinterDriversW(LPCWSTR pName, LPCWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                         LPDWORD pcbNeeded, LPDWORD pcReturned);
// Fails with ERROR_PRINTER_DRIVER_IN_USE while a queue uses the driver. A
// queue marked for deletion whose jobs have all ended is deleted first.
BOOL DeletePrinterDriverW(LPCWSTR pName, LPCWSTR pEnvironment, LPCWSTR pDriverName);

BOOL AddPrintProcessorW(LPCWSTR pName, LPCWSTR pEnvironment, LPCWSTR pPathName, LPCWSTR pPrintProcessorName);
BOOL EnumPrintProcessorsW(LPCWSTR pName, LPCWSTR pEnvironment, DWORD Level, LPBYTE pPrintProcessorInfo,
                          DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);
BOOL DeletePrintProcessorW(LPCWSTR pName, LPCWSTR pEnvironment, LPCWSTR pPrintProcessorName);

// Level 2. A full path in pDLLName is installed into the scheduler's
// backend folder under its file name (mode 0700 and owned by root when run
// as root, so the scheduler runs it as root).
BOOL AddMonitorW(LPCWSTR pName, DWORD Level, LPBYTE pMonitors);
BOOL EnumMonitorsW(LPCWSTR pName, DWORD Level, LPBYTE pMonitors, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned);
// Removes the monitor and its backend program; ERROR_PRINT_MONITOR_IN_USE
// while it still has ports.
BOOL DeleteMonitorW(LPCWSTR pName, LPCWSTR pEnvironment, LPCWSTR pMonitorName);

// Level 1: adds the port named pName to a monitor; its URI is the monitor's
// scheme, ":/" and the name, percent-encoded. ERROR_ALREADY_EXISTS when the
// name or URI is any monitor's port already.
BOOL AddPortExW(LPCWSTR pName, DWORD Level, LPBYTE pBuffer, LPCWSTR pMonitorName);
BOOL EnumPortsW(LPCWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned);
BOOL DeletePortW(LPCWSTR pName, HWND hWnd, LPCWSTR pPortName);

// Level 2: pPrinterName, pPortName (a port's URI), pDriverName (an added
// driver), pComment, pLocation. The queue is created paused and refusing
// jobs, with the driver's PPD and the printer's name as its description;
// SetPrinterW(PRINTER_CONTROL_RESUME) opens it. Returns an open handle, or
// null with the last error set.
HANDLE AddPrinterW(LPCWSTR pName, DWORD Level, LPBYTE pPrinter);

namespace sw::spooler {

// The scheduler's program folder (ServerBin) and the spooler's own folder.
std::string SchedulerProgramFolder();
std::string SpoolerFolder();

// The device URI of a port name on a scheme: "sheetwise" and "Sheetwise
// Port" give "sheetwise:/Sheetwise%20Port".
std::string PortUri(const std::string& scheme, const std::wstring& portName);

}  // namespace sw::spooler
