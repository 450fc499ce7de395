// The spooler calls the system makes, with their usual names, structures,
// results and error codes, answered by CUPS through libcups. The scheduler
// is the one libcups chooses: CUPS_SERVER (a host or a socket path) when
// set, else the local one.
//
// Names: a printer name is mapped to its queue as PrinterNames.h says, and
// every name handed back is the printer's name, not the queue's. Texts are
// wchar_t. Structures are packed into the caller's buffer with their texts
// behind them; a buffer too small gives FALSE, ERROR_INSUFFICIENT_BUFFER and
// the size needed, as the original calls do.
//
// What the fields carry on CUPS:
//   PRINTER_INFO_2W  pPortName the device URI, pDriverName the make and model
//                    (the PPD's nickname), pComment the description,
//                    pDevMode the driver's default settings, Status from the
//                    printer state (PRINTER_STATUS_PENDING_DELETION for a
//                    queue DeletePrinter marked), cJobs the jobs not yet
//                    completed.
//   JOB_INFO_2W      pDocument the job's document name (DocumentNameOfJob of
//                    its title), pUserName its owner, Status from the job
//                    state, TotalPages and PagesPrinted from the pages CUPS
//                    counted, Size in bytes (CUPS counts kilobytes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/WinTypes.h"

// The public part of the settings structure, laid out byte for byte as on
// the original platform (texts are UTF-16). The driver's private part
// follows it; dmDriverExtra gives its size.
struct DEVMODEW {
    char16_t dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    std::int16_t dmOrientation;
    std::int16_t dmPaperSize;
    std::int16_t dmPaperLength;
    std::int16_t dmPaperWidth;
    std::int16_t dmScale;
    std::int16_t dmCopies;
    std::int16_t dmDefaultSource;
    std::int16_t dmPrintQuality;
    std::int16_t dmColor;
    std::int16_t dmDuplex;
    std::int16_t dmYResolution;
    std::int16_t dmTTOption;
    std::int16_t dmCollate;
    char16_t dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEW) == 220);
using PDEVMODEW = DEVMODEW*;
using LPDEVMODEW = DEVMODEW*;

struct PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    LPDEVMODEW pDevMode;
    DWORD DesiredAccess;
};
using LPPRINTER_DEFAULTSW = PRINTER_DEFAULTSW*;

struct PRINTER_INFO_1W {
    DWORD Flags;
    LPWSTR pDescription;
    LPWSTR pName;
    LPWSTR pComment;
};

struct PRINTER_INFO_2W {
    LPWSTR pServerName;
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    LPDEVMODEW pDevMode;
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
    LPWSTR pPrinterName;
    LPWSTR pServerName;
    DWORD Attributes;
};

struct PRINTER_INFO_5W {
    LPWSTR pPrinterName;
    LPWSTR pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout;
    DWORD TransmissionRetryTimeout;
};

struct JOB_INFO_1W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pDatatype;
    LPWSTR pStatus;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD TotalPages;
    DWORD PagesPrinted;
    SYSTEMTIME Submitted;
};

struct JOB_INFO_2W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pNotifyName;
    LPWSTR pDatatype;
    LPWSTR pPrintProcessor;
    LPWSTR pParameters;
    LPWSTR pDriverName;
    LPDEVMODEW pDevMode;
    LPWSTR pStatus;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Status;
    DWORD Priority;
    DWORD Position;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD TotalPages;
    DWORD Size;
    SYSTEMTIME Submitted;
    DWORD Time;
    DWORD PagesPrinted;
};

// ---- Constants --------------------------------------------------------------

inline constexpr DWORD PRINTER_ACCESS_ADMINISTER = 0x00000004;
inline constexpr DWORD PRINTER_ACCESS_USE = 0x00000008;
inline constexpr DWORD PRINTER_ALL_ACCESS = 0x000F000C;

inline constexpr DWORD PRINTER_ENUM_LOCAL = 0x00000002;

inline constexpr DWORD PRINTER_ATTRIBUTE_QUEUED = 0x00000001;
inline constexpr DWORD PRINTER_ATTRIBUTE_SHARED = 0x00000008;
inline constexpr DWORD PRINTER_ATTRIBUTE_LOCAL = 0x00000040;

inline constexpr DWORD PRINTER_STATUS_PAUSED = 0x00000001;
inline constexpr DWORD PRINTER_STATUS_ERROR = 0x00000002;
inline constexpr DWORD PRINTER_STATUS_PENDING_DELETION = 0x00000004;
inline constexpr DWORD PRINTER_STATUS_PRINTING = 0x00000400;
inline constexpr DWORD PRINTER_STATUS_NOT_AVAILABLE = 0x00001000;

inline constexpr DWORD PRINTER_CONTROL_PAUSE = 1;
inline constexpr DWORD PRINTER_CONTROL_RESUME = 2;

inline constexpr DWORD JOB_CONTROL_PAUSE = 1;
inline constexpr DWORD JOB_CONTROL_RESUME = 2;
inline constexpr DWORD JOB_CONTROL_CANCEL = 3;
inline constexpr DWORD JOB_CONTROL_RESTART = 4;
inline constexpr DWORD JOB_CONTROL_DELETE = 5;

inline constexpr DWORD JOB_STATUS_PAUSED = 0x00000001;
inline constexpr DWORD JOB_STATUS_ERROR = 0x00000002;
inline constexpr DWORD JOB_STATUS_DELETING = 0x00000004;
inline constexpr DWORD JOB_STATUS_SPOOLING = 0x00000008;
inline constexpr DWORD JOB_STATUS_PRINTING = 0x00000010;
inline constexpr DWORD JOB_STATUS_PRINTED = 0x00000080;
inline constexpr DWORD JOB_STATUS_DELETED = 0x00000100;
inline constexpr DWORD JOB_STATUS_COMPLETE = 0x00001000;

inline constexpr DWORD DM_OUT_BUFFER = 2;
inline constexpr DWORD DM_IN_BUFFER = 8;
inline constexpr LONG IDOK = 1;

// Besides these the calls leave 5 (access denied), 6 (invalid handle) and
// 87 (invalid parameter), whose names the registry layer already gives.
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD ERROR_INVALID_PRINTER_NAME = 1801;
inline constexpr DWORD ERROR_INVALID_PRINTER_COMMAND = 1803;
inline constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;

// ---- Calls ------------------------------------------------------------------

// The calling thread's last error, as the calls below leave it.
DWORD SpoolerGetLastError();
void SpoolerSetLastError(DWORD error);
// The scheduler's own words for the last failure, for messages.
const char* SpoolerLastErrorText();

BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter, const PRINTER_DEFAULTSW* pDefault);
BOOL ClosePrinter(HANDLE hPrinter);
BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL EnumPrintersW(DWORD Flags, LPCWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                   LPDWORD pcbNeeded, LPDWORD pcReturned);
BOOL EnumJobsW(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
               LPDWORD pcbNeeded, LPDWORD pcReturned);
BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command);
// Level 0 only: PRINTER_CONTROL_PAUSE stops the queue and refuses new jobs;
// PRINTER_CONTROL_RESUME starts it and accepts jobs again.
BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
// Deletes the queue and its settings file. A queue that still holds jobs
// is only marked for deletion, as the original spooler does: it refuses new
// jobs, lists PRINTER_STATUS_PENDING_DELETION, and goes once its jobs have
// ended and its driver is deleted (DeletePrinterDriverW). The handle stays
// open either way.
BOOL DeletePrinter(HANDLE hPrinter);
// fMode 0 gives the size of the driver's settings structure; DM_OUT_BUFFER
// fills pDevModeOutput with the printer's default settings and gives IDOK.
// -1 on failure.
LONG DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPCWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                         PDEVMODEW pDevModeInput, DWORD fMode);
