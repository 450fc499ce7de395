#include "platform/spooler/SpoolerAdmin.h"

#include <cups/cups.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/registry/Registry.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/spooler/SpoolerRecords.h"

namespace rec = sw::spooler::records;

namespace {

constexpr DWORD kInvalidParameter = 87;

bool Fail(DWORD error) {
    SpoolerSetLastError(error);
    return false;
}

BOOL Refuse(DWORD error) {
    SpoolerSetLastError(error);
    return FALSE;
}

std::string Narrow(const std::wstring& text) {
    return sw::base::ToUtf8(text);
}

std::wstring Wide(const std::string& text) {
    return sw::base::FromUtf8OrCp1252(text);
}

std::wstring Arg(LPCWSTR text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? value : fallback;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ---- Packing lists of names into the caller's buffer ---------------------------

// Structures first, their texts behind them, as the original calls lay them out.
template <typename Info, typename Fill>
BOOL PackList(const std::vector<std::vector<std::wstring>>& rows, LPBYTE buffer, DWORD cbBuf,
              LPDWORD pcbNeeded, LPDWORD pcReturned, Fill fill) {
    if (pcReturned != nullptr) {
        *pcReturned = 0;
    }
    std::size_t needed = rows.size() * sizeof(Info);
    for (const auto& row : rows) {
        for (const auto& text : row) {
            needed += (text.size() + 1) * sizeof(wchar_t);
        }
    }
    if (pcbNeeded != nullptr) {
        *pcbNeeded = static_cast<DWORD>(needed);
    }
    if (needed > cbBuf || (needed > 0 && buffer == nullptr)) {
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
    }
    LPBYTE tail = buffer + needed;
    auto put = [&tail](const std::wstring& text) {
        tail -= (text.size() + 1) * sizeof(wchar_t);
        auto* out = reinterpret_cast<LPWSTR>(tail);
        text.copy(out, text.size());
        out[text.size()] = L'\0';
        return out;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Info* info = reinterpret_cast<Info*>(buffer) + i;
        *info = {};
        fill(*info, rows[i], put);
    }
    if (pcReturned != nullptr) {
        *pcReturned = static_cast<DWORD>(rows.size());
    }
    SpoolerSetLastError(0);
    return TRUE;
}

template <typename Info>
BOOL PackNames(const std::vector<std::wstring>& names, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
               LPDWORD pcReturned) {
    std::vector<std::vector<std::wstring>> rows;
    for (const auto& name : names) {
        rows.push_back({name});
    }
    return PackList<Info>(
        rows, buffer, cbBuf, pcbNeeded, pcReturned,
        [](Info& info, const std::vector<std::wstring>& row, auto& put) { info.pName = put(row[0]); });
}

BOOL PackFolder(const std::string& folder, DWORD Level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded) {
    if (Level != 1) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    const std::wstring text = Wide(folder);
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (pcbNeeded != nullptr) {
        *pcbNeeded = needed;
    }
    if (buffer == nullptr || cbBuf < needed) {
        return Refuse(ERROR_INSUFFICIENT_BUFFER);
    }
    auto* out = reinterpret_cast<LPWSTR>(buffer);
    text.copy(out, text.size());
    out[text.size()] = L'\0';
    SpoolerSetLastError(0);
    return TRUE;
}

// ---- Queues, as the printer calls list them -------------------------------------

struct QueueInfo {
    std::wstring name;
    std::wstring port;
    std::wstring driver;
    DWORD status = 0;
    DWORD jobs = 0;
};

bool ListQueues(std::vector<QueueInfo>& out) {
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (SpoolerGetLastError() != ERROR_INSUFFICIENT_BUFFER && SpoolerGetLastError() != 0) {
        return false;
    }
    std::vector<BYTE> buffer(needed + sizeof(PRINTER_INFO_2W));
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()),
                       &needed, &count)) {
        return false;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        out.push_back(
            {info[i].pPrinterName, info[i].pPortName, info[i].pDriverName, info[i].Status, info[i].cJobs});
    }
    return true;
}

// The data file of a driver must name the driver: CUPS reports a queue's
// driver by its PPD's NickName.
std::string PpdNickName(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    for (int n = 0; n < 5000 && std::getline(in, line); ++n) {
        if (line.rfind("*NickName:", 0) == 0) {
            const auto first = line.find('"');
            const auto last = line.rfind('"');
            if (first != std::string::npos && last > first) {
                return line.substr(first + 1, last - first - 1);
            }
        }
    }
    return {};
}

// ---- Ports ------------------------------------------------------------------------

struct PortRecord {
    std::wstring uri;
    std::wstring name;
    std::wstring monitor;
};

std::vector<PortRecord> AllPorts() {
    std::vector<PortRecord> ports;
    for (const std::wstring& monitor : rec::SubKeys(rec::kMonitors)) {
        for (const auto& [uri, name] :
             rec::TextValues(rec::Join(rec::Join(rec::kMonitors, monitor), L"Ports"))) {
            ports.push_back({uri, name, monitor});
        }
    }
    return ports;
}

// ---- The scheduler ----------------------------------------------------------------

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};

bool AddQueue(const std::string& queue, const std::wstring& printerName, const std::wstring& uri,
              const std::wstring& location, const std::string& ppd) {
    std::unique_ptr<http_t, HttpClose> http(
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr));
    if (!http) {
        return Fail(RPC_S_SERVER_UNAVAILABLE);
    }
    char printerUri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, printerUri, sizeof printerUri, "ipp", nullptr, "localhost",
                     ippPort(), "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, Narrow(uri).c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                 Narrow(printerName).c_str());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-location", nullptr,
                 Narrow(location).c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 0);
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-shared", 0);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_STOPPED);
    ippDelete(cupsDoFileRequest(http.get(), request, "/admin/", ppd.c_str()));
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const ipp_status_t status = cupsLastError();
        return Fail(status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHORIZED
                        ? ERROR_ACCESS_DENIED
                        : kInvalidParameter);
    }
    return true;
}

}  // namespace

namespace sw::spooler {

std::string SchedulerProgramFolder() {
    return FromEnvironment("SHEETWISE_CUPS_SERVERBIN", "/usr/lib/cups");
}

std::string SpoolerFolder() {
    return FromEnvironment("SHEETWISE_SPOOLER_DIR", "/var/lib/sheetwise");
}

std::string PortUri(const std::string& scheme, const std::wstring& portName) {
    std::string uri = scheme + ":/";
    for (unsigned char c : Narrow(portName)) {
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        }
    }
    return uri;
}

}  // namespace sw::spooler

// ---- Folders ------------------------------------------------------------------------

BOOL GetPrinterDriverDirectoryW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, DWORD Level,
                                LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
    const std::string root = sw::spooler::SpoolerFolder();
    const std::string folder = root + "/drivers";
    ::mkdir(root.c_str(), 0755);
    ::mkdir(folder.c_str(), 0755);
    return PackFolder(folder, Level, pDriverDirectory, cbBuf, pcbNeeded);
}

BOOL GetPrintProcessorDirectoryW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, DWORD Level,
                                 LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded) {
    return PackFolder(sw::spooler::SchedulerProgramFolder() + "/filter", Level, pPrintProcessorInfo, cbBuf,
                      pcbNeeded);
}

// ---- Drivers ------------------------------------------------------------------------

BOOL AddPrinterDriverW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pDriverInfo) {
    if (Level != 3) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(pDriverInfo);
    if (info == nullptr || Arg(info->pName).empty() || Arg(info->pDriverPath).empty() ||
        Arg(info->pDataFile).empty()) {
        return Refuse(kInvalidParameter);
    }
    std::string folder;
    {
        wchar_t buffer[1024];
        DWORD needed = 0;
        if (GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer), sizeof buffer,
                                       &needed)) {
            folder = Narrow(buffer) + "/";
        }
    }
    auto inFolder = [&folder](const std::wstring& file) {
        const std::string path = Narrow(file);
        return path.find('/') == std::string::npos ? folder + path : path;
    };
    const std::string driverPath = inFolder(info->pDriverPath);
    const std::string dataFile = inFolder(info->pDataFile);
    if (!IsFile(driverPath) || !IsFile(dataFile)) {
        return Refuse(ERROR_FILE_NOT_FOUND);
    }
    if (Wide(PpdNickName(dataFile)) != Arg(info->pName)) {
        return Refuse(kInvalidParameter);
    }
    const std::wstring key = rec::Join(rec::kDrivers, info->pName);
    if (rec::KeyExists(key)) {
        return Refuse(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED);
    }
    long status = rec::SetText(key, L"Driver", Wide(driverPath));
    if (status == ERROR_SUCCESS) {
        status = rec::SetText(key, L"Data File", Wide(dataFile));
    }
    if (status == ERROR_SUCCESS) {
        status = rec::SetText(key, L"Configuration File", Arg(info->pConfigFile));
    }
    if (status != ERROR_SUCCESS) {
        rec::DeleteTree(key);
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

BOOL EnumPrinterDriversW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, DWORD Level, LPBYTE pDriverInfo,
                         DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (Level != 1) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    return PackNames<DRIVER_INFO_1W>(rec::SubKeys(rec::kDrivers), pDriverInfo, cbBuf, pcbNeeded, pcReturned);
}

BOOL DeletePrinterDriverW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, LPCWSTR pDriverName) {
    const auto driver = rec::FindName(rec::SubKeys(rec::kDrivers), Arg(pDriverName));
    if (!driver) {
        return Refuse(ERROR_UNKNOWN_PRINTER_DRIVER);
    }
    std::vector<QueueInfo> queues;
    if (!ListQueues(queues)) {
        return FALSE;
    }
    bool inUse = false;
    for (const QueueInfo& q : queues) {
        if (!rec::SameText(q.driver, *driver)) {
            continue;
        }
        // A queue marked for deletion goes once its jobs have ended.
        if ((q.status & PRINTER_STATUS_PENDING_DELETION) != 0 && q.jobs == 0) {
            HANDLE h = nullptr;
            if (OpenPrinterW(q.name.c_str(), &h, nullptr)) {
                const BOOL deleted = DeletePrinter(h);
                ClosePrinter(h);
                if (deleted) {
                    continue;
                }
            }
        }
        inUse = true;
    }
    if (inUse) {
        return Refuse(ERROR_PRINTER_DRIVER_IN_USE);
    }
    const long status = rec::DeleteTree(rec::Join(rec::kDrivers, *driver));
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

// ---- Print processors -----------------------------------------------------------------

BOOL AddPrintProcessorW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, LPCWSTR pPathName,
                        LPCWSTR pPrintProcessorName) {
    if (Arg(pPrintProcessorName).empty()) {
        return Refuse(kInvalidParameter);
    }
    if (rec::FindName(rec::SubKeys(rec::kProcessors), pPrintProcessorName)) {
        return Refuse(ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
    }
    const long status =
        rec::SetText(rec::Join(rec::kProcessors, pPrintProcessorName), L"Driver", Arg(pPathName));
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

BOOL EnumPrintProcessorsW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, DWORD Level,
                          LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (Level != 1) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    return PackNames<PRINTPROCESSOR_INFO_1W>(rec::SubKeys(rec::kProcessors), pPrintProcessorInfo, cbBuf,
                                             pcbNeeded, pcReturned);
}

BOOL DeletePrintProcessorW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, LPCWSTR pPrintProcessorName) {
    const auto name = rec::FindName(rec::SubKeys(rec::kProcessors), Arg(pPrintProcessorName));
    if (!name) {
        return Refuse(ERROR_UNKNOWN_PRINTPROCESSOR);
    }
    const long status = rec::DeleteTree(rec::Join(rec::kProcessors, *name));
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

// ---- Monitors -------------------------------------------------------------------------

BOOL AddMonitorW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pMonitors) {
    if (Level != 2) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    const auto* info = reinterpret_cast<const MONITOR_INFO_2W*>(pMonitors);
    if (info == nullptr || Arg(info->pName).empty() || Arg(info->pDLLName).empty()) {
        return Refuse(kInvalidParameter);
    }
    if (rec::FindName(rec::SubKeys(rec::kMonitors), info->pName)) {
        return Refuse(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    }
    const std::string program = Narrow(info->pDLLName);
    const std::string scheme = BaseName(program);
    const std::string installed = sw::spooler::SchedulerProgramFolder() + "/backend/" + scheme;
    if (program.find('/') != std::string::npos) {
        std::ifstream in(program, std::ios::binary);
        const std::string temp = installed + ".part";
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!in || !out || !(out << in.rdbuf()) || !out.flush()) {
            ::unlink(temp.c_str());
            return Refuse(in ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        }
        out.close();
        // The scheduler runs a backend as root only when nobody else may run it.
        const bool root = ::geteuid() == 0;
        if ((root && ::chown(temp.c_str(), 0, 0) != 0) || ::chmod(temp.c_str(), root ? 0700 : 0755) != 0 ||
            ::rename(temp.c_str(), installed.c_str()) != 0) {
            ::unlink(temp.c_str());
            return Refuse(ERROR_ACCESS_DENIED);
        }
    } else if (!IsFile(installed)) {
        return Refuse(ERROR_FILE_NOT_FOUND);
    }
    const long status = rec::SetText(rec::Join(rec::kMonitors, info->pName), L"Driver", Wide(scheme));
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

BOOL EnumMonitorsW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pMonitors, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned) {
    if (Level != 1) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    return PackNames<MONITOR_INFO_1W>(rec::SubKeys(rec::kMonitors), pMonitors, cbBuf, pcbNeeded, pcReturned);
}

BOOL DeleteMonitorW(LPCWSTR /*pName*/, LPCWSTR /*pEnvironment*/, LPCWSTR pMonitorName) {
    const auto name = rec::FindName(rec::SubKeys(rec::kMonitors), Arg(pMonitorName));
    if (!name) {
        return Refuse(ERROR_UNKNOWN_PRINT_MONITOR);
    }
    const std::wstring key = rec::Join(rec::kMonitors, *name);
    if (!rec::TextValues(rec::Join(key, L"Ports")).empty()) {
        return Refuse(ERROR_PRINT_MONITOR_IN_USE);
    }
    const std::wstring scheme = rec::GetText(key, L"Driver").value_or(L"");
    bool shared = false;
    for (const std::wstring& other : rec::SubKeys(rec::kMonitors)) {
        shared =
            shared || (other != *name && rec::GetText(rec::Join(rec::kMonitors, other), L"Driver") == scheme);
    }
    if (!scheme.empty() && !shared) {
        const std::string program = sw::spooler::SchedulerProgramFolder() + "/backend/" + Narrow(scheme);
        if (::unlink(program.c_str()) != 0 && errno != ENOENT) {
            return Refuse(ERROR_ACCESS_DENIED);
        }
    }
    const long status = rec::DeleteTree(key);
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

// ---- Ports ----------------------------------------------------------------------------

BOOL AddPortExW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pBuffer, LPCWSTR pMonitorName) {
    if (Level != 1) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    const auto* info = reinterpret_cast<const PORT_INFO_1W*>(pBuffer);
    const auto monitor = rec::FindName(rec::SubKeys(rec::kMonitors), Arg(pMonitorName));
    if (info == nullptr || Arg(info->pName).empty() || !monitor) {
        return Refuse(monitor ? kInvalidParameter : ERROR_UNKNOWN_PRINT_MONITOR);
    }
    const std::wstring key = rec::Join(rec::kMonitors, *monitor);
    const std::wstring scheme = rec::GetText(key, L"Driver").value_or(L"");
    const std::wstring uri = Wide(sw::spooler::PortUri(Narrow(scheme), info->pName));
    for (const PortRecord& port : AllPorts()) {
        if (rec::SameText(port.name, info->pName) || port.uri == uri) {
            return Refuse(ERROR_ALREADY_EXISTS);
        }
    }
    const long status = rec::SetText(rec::Join(key, L"Ports"), uri, info->pName);
    if (status != ERROR_SUCCESS) {
        return Refuse(static_cast<DWORD>(status));
    }
    SpoolerSetLastError(0);
    return TRUE;
}

BOOL EnumPortsW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                LPDWORD pcReturned) {
    const std::vector<PortRecord> ports = AllPorts();
    std::vector<std::vector<std::wstring>> rows;
    for (const PortRecord& port : ports) {
        rows.push_back({port.uri, port.monitor, port.name});
    }
    if (Level == 1) {
        return PackList<PORT_INFO_1W>(
            rows, pPorts, cbBuf, pcbNeeded, pcReturned,
            [](PORT_INFO_1W& info, const auto& row, auto& put) { info.pName = put(row[0]); });
    }
    if (Level != 2) {
        return Refuse(ERROR_INVALID_LEVEL);
    }
    return PackList<PORT_INFO_2W>(rows, pPorts, cbBuf, pcbNeeded, pcReturned,
                                  [](PORT_INFO_2W& info, const auto& row, auto& put) {
                                      info.pPortName = put(row[0]);
                                      info.pMonitorName = put(row[1]);
                                      info.pDescription = put(row[2]);
                                      info.fPortType = PORT_TYPE_WRITE;
                                  });
}

BOOL DeletePortW(LPCWSTR /*pName*/, HWND /*hWnd*/, LPCWSTR pPortName) {
    for (const PortRecord& port : AllPorts()) {
        if (port.uri == Arg(pPortName) || rec::SameText(port.name, Arg(pPortName))) {
            const long status =
                rec::DeleteValue(rec::Join(rec::Join(rec::kMonitors, port.monitor), L"Ports"), port.uri);
            if (status != ERROR_SUCCESS) {
                return Refuse(static_cast<DWORD>(status));
            }
            SpoolerSetLastError(0);
            return TRUE;
        }
    }
    return Refuse(ERROR_UNKNOWN_PORT);
}

// ---- Printers -------------------------------------------------------------------------

HANDLE AddPrinterW(LPCWSTR /*pName*/, DWORD Level, LPBYTE pPrinter) {
    if (Level != 2) {
        Fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
    if (info == nullptr || Arg(info->pPrinterName).empty()) {
        Fail(kInvalidParameter);
        return nullptr;
    }
    const std::string queue = sw::spooler::QueueOfPrinterName(info->pPrinterName);
    if (!sw::spooler::IsValidQueueName(queue)) {
        Fail(ERROR_INVALID_PRINTER_NAME);
        return nullptr;
    }
    const auto driver = rec::FindName(rec::SubKeys(rec::kDrivers), Arg(info->pDriverName));
    if (!driver) {
        Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
        return nullptr;
    }
    bool portKnown = false;
    for (const PortRecord& port : AllPorts()) {
        portKnown = portKnown || port.uri == Arg(info->pPortName);
    }
    if (!portKnown) {
        Fail(ERROR_UNKNOWN_PORT);
        return nullptr;
    }
    std::vector<QueueInfo> queues;
    if (!ListQueues(queues)) {
        return nullptr;
    }
    for (const QueueInfo& q : queues) {
        if (sw::spooler::QueueOfPrinterName(q.name) == queue) {
            Fail(ERROR_PRINTER_ALREADY_EXISTS);
            return nullptr;
        }
    }
    const std::string ppd =
        Narrow(rec::GetText(rec::Join(rec::kDrivers, *driver), L"Data File").value_or(L""));
    if (!IsFile(ppd)) {
        Fail(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (!AddQueue(queue, info->pPrinterName, info->pPortName, Arg(info->pLocation), ppd)) {
        return nullptr;
    }
    HANDLE handle = nullptr;
    if (!OpenPrinterW(info->pPrinterName, &handle, nullptr)) {
        return nullptr;
    }
    return handle;
}
