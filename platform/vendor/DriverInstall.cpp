#include "platform/vendor/DriverInstall.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/registry/Registry.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/spooler/SpoolerAdmin.h"
#include "platform/vendor/PrinterSettings.h"

namespace sw::vendor::install {
namespace {

constexpr const wchar_t* kProductKey = L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver";
constexpr const wchar_t* kEnvironment = L"Windows NT x86";
constexpr const wchar_t* kMonitorEnvironment = L"Windows 4.0";

std::wstring Wide(const char* text) {
    return sw::base::FromUtf8OrCp1252(text != nullptr ? text : "");
}

std::string Narrow(const std::wstring& text) {
    return sw::base::ToUtf8(text);
}

bool CopyOut(const std::wstring& text, char out[kPathBytes]) {
    const std::string narrow = Narrow(text);
    if (out == nullptr || narrow.size() >= kPathBytes) {
        return false;
    }
    std::memcpy(out, narrow.c_str(), narrow.size() + 1);
    return true;
}

// The parameters of the install under way, until the printer is named.
struct ParameterSet {
    std::map<std::int32_t, std::string> values;
    std::string queue;
};

ParameterSet& Parameters() {
    static ParameterSet set;
    return set;
}

std::wstring DriverVersionFolder() {
    char folder[kPathBytes] = {};
    if (GetPrinterDriverDirectory(nullptr, "", folder) != 1) {
        return {};
    }
    return Wide(folder) + L"/2/";
}

template <typename Info>
std::vector<Info> Listed(BOOL (*enumerate)(DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD),
                         std::vector<BYTE>& storage) {
    DWORD needed = 0;
    DWORD count = 0;
    enumerate(1, nullptr, 0, &needed, &count);
    storage.assign(needed + sizeof(Info), 0);
    if (!enumerate(1, storage.data(), static_cast<DWORD>(storage.size()), &needed, &count)) {
        return {};
    }
    std::vector<Info> items(count);
    if (count > 0) {
        std::memcpy(items.data(), storage.data(), count * sizeof(Info));
    }
    return items;
}

bool NameListed(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& n : names) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> DriverNames() {
    std::vector<BYTE> storage;
    std::vector<std::wstring> names;
    for (const auto& info : Listed<DRIVER_INFO_1W>(
             [](DWORD level, LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
                 return EnumPrinterDriversW(nullptr, kEnvironment, level, b, cb, n, c);
             },
             storage)) {
        names.emplace_back(info.pName);
    }
    return names;
}

std::vector<std::wstring> ProcessorNames() {
    std::vector<BYTE> storage;
    std::vector<std::wstring> names;
    for (const auto& info : Listed<PRINTPROCESSOR_INFO_1W>(
             [](DWORD level, LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
                 return EnumPrintProcessorsW(nullptr, kEnvironment, level, b, cb, n, c);
             },
             storage)) {
        names.emplace_back(info.pName);
    }
    return names;
}

std::vector<std::wstring> MonitorNames() {
    std::vector<BYTE> storage;
    std::vector<std::wstring> names;
    for (const auto& info :
         Listed<MONITOR_INFO_1W>([](DWORD level, LPBYTE b, DWORD cb, LPDWORD n,
                                    LPDWORD c) { return EnumMonitorsW(nullptr, level, b, cb, n, c); },
                                 storage)) {
        names.emplace_back(info.pName);
    }
    return names;
}

struct Port {
    std::wstring uri;
    std::wstring monitor;
    std::wstring name;
};

std::vector<Port> Ports() {
    DWORD needed = 0;
    DWORD count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> storage(needed + sizeof(PORT_INFO_2W));
    std::vector<Port> ports;
    if (!EnumPortsW(nullptr, 2, storage.data(), static_cast<DWORD>(storage.size()), &needed, &count)) {
        return ports;
    }
    const auto* info = reinterpret_cast<const PORT_INFO_2W*>(storage.data());
    for (DWORD i = 0; i < count; ++i) {
        ports.push_back({info[i].pPortName, info[i].pMonitorName, info[i].pDescription});
    }
    return ports;
}

}  // namespace

std::uint32_t LastError() {
    return SpoolerGetLastError();
}

void SetLastError(std::uint32_t error) {
    SpoolerSetLastError(error);
}

int GetPrinterDriverDirectory(const char* /*server*/, const char* /*environment*/, char folder[kPathBytes]) {
    wchar_t buffer[kPathBytes * 2] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, kEnvironment, 1, reinterpret_cast<LPBYTE>(buffer), sizeof buffer,
                                    &needed)) {
        return 0;
    }
    return CopyOut(buffer, folder) ? 1 : 0;
}

int GetPrintProcessorDirectory(const char* /*server*/, const char* /*environment*/, char folder[kPathBytes]) {
    wchar_t buffer[kPathBytes * 2] = {};
    DWORD needed = 0;
    if (!GetPrintProcessorDirectoryW(nullptr, kEnvironment, 1, reinterpret_cast<LPBYTE>(buffer),
                                     sizeof buffer, &needed)) {
        return 0;
    }
    return CopyOut(buffer, folder) ? 1 : 0;
}

int IsTerminalServicesEnabled() {
    return 0;
}

int IsPrinterDriverInstalled(const char* driverName) {
    return NameListed(DriverNames(), Wide(driverName)) ? 1 : 0;
}

int DeletePrinterDriver(const char* /*server*/, const char* /*environment*/, const char* driverName) {
    const std::wstring name = Wide(driverName);
    return DeletePrinterDriverW(nullptr, kEnvironment, name.c_str()) ? 0 : 1;
}

int AddPrinterDriver(const char* driverName, const char* driverFile, const char* dataFile,
                     const char* configFile, const char* /*resourceFile*/, const char* /*tiffLibrary*/,
                     const char* /*jpegLibrary*/) {
    const std::wstring folder = DriverVersionFolder();
    if (folder.empty()) {
        return 0;
    }
    std::wstring name = Wide(driverName);
    std::wstring driverPath = folder + Wide(driverFile);
    std::wstring dataPath = folder + Wide(dataFile);
    std::wstring configPath = Wide(configFile);
    std::wstring environment = kEnvironment;
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = driverPath.data();
    info.pDataFile = dataPath.data();
    info.pConfigFile = configPath.data();
    return AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&info)) ? 1 : 0;
}

int IsPrintProcessorInstalled(const char* processorName) {
    return NameListed(ProcessorNames(), Wide(processorName)) ? 1 : 0;
}

void DeletePrintProcessor(const char* processorName) {
    const std::wstring name = Wide(processorName);
    DeletePrintProcessorW(nullptr, kEnvironment, name.c_str());
}

int AddPrintProcessor(const char* processorFile, const char* processorName) {
    const std::wstring file = Wide(processorFile);
    const std::wstring name = Wide(processorName);
    return AddPrintProcessorW(nullptr, kEnvironment, file.c_str(), name.c_str()) ? 0 : 1;
}

int IsPortMonitorInstalled(const char* monitorName) {
    return NameListed(MonitorNames(), Wide(monitorName)) ? 1 : 0;
}

int AddPortMonitor(const char* monitorFile, const char* monitorName) {
    const std::wstring file = Wide(monitorFile);
    if (file.empty()) {
        SetLastError(2);
        return 1;
    }
    std::wstring program = DriverVersionFolder() + file;
    std::wstring name = Wide(monitorName);
    std::wstring environment = kMonitorEnvironment;
    MONITOR_INFO_2W info{name.data(), environment.data(), program.data()};
    return AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) ? 0 : 1;
}

int IsPortInstalled(const char* portName, const char* monitorName) {
    const std::wstring name = Wide(portName);
    const std::wstring monitor = Wide(monitorName);
    for (const Port& port : Ports()) {
        if (port.monitor == monitor && port.name == name) {
            return 1;
        }
    }
    return 0;
}

int AddPort(const char* portName, const char* monitorName) {
    std::wstring name = Wide(portName);
    const std::wstring monitor = Wide(monitorName);
    PORT_INFO_1W info{name.data()};
    return AddPortExW(nullptr, 1, reinterpret_cast<LPBYTE>(&info), monitor.c_str()) ? 0 : 1;
}

int AddPrinter(const char* printerName, const char* portName, const char* driverName,
               const char* processorName) {
    std::wstring printer = Wide(printerName);
    std::wstring port = Wide(portName);
    // The spooler names a port by its device URI.
    for (const Port& p : Ports()) {
        if (p.name == port) {
            port = p.uri;
            break;
        }
    }
    std::wstring driver = Wide(driverName);
    std::wstring processor = Wide(processorName);
    std::wstring empty;
    PRINTER_INFO_2W info{};
    info.pPrinterName = printer.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    info.pPrintProcessor = processor.data();
    info.pComment = empty.data();
    info.pLocation = empty.data();
    HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (handle == nullptr) {
        return 1;
    }
    ClosePrinter(handle);
    return 0;
}

int SetInstallParameter(const char* /*server*/, const std::int32_t* number, const char* value) {
    if (number == nullptr) {
        SetLastError(87);
        return 0;
    }
    ParameterSet& set = Parameters();
    const std::string text = value != nullptr ? value : "";
    if (*number == PAR_INIC_PARAMETERS) {
        set = {};
    }
    set.values[*number] = text;
    if (*number == PAR_PRINTER_NAME) {
        set.queue = sw::spooler::QueueOfPrinterName(Wide(value));
        if (!sw::spooler::IsValidQueueName(set.queue)) {
            set.queue.clear();
            SetLastError(1801);
            return 0;
        }
    }
    if (set.queue.empty()) {
        return 1;
    }
    std::string error;
    PrinterSettings settings = PrinterSettings::Load(set.queue, &error);
    for (const auto& [n, v] : set.values) {
        settings.SetParameter(n, v);
    }
    if (!error.empty() || !settings.Save(&error)) {
        SetLastError(5);
        return 0;
    }
    SetLastError(0);
    return 1;
}

int CommitParameters(const char* /*server*/, const std::int32_t* /*reserved*/, int /*flags*/) {
    return 1;
}

int CommitSettings(const char* /*server*/, const std::int32_t* /*reserved*/, int /*flags*/) {
    return 1;
}

int CreateRegistryKeys() {
    const auto it = Parameters().values.find(PAR_INSTALL_FOLDER);
    if (it == Parameters().values.end() || it->second.empty()) {
        return 0;
    }
    const std::wstring folder = Wide(it->second.c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return 0;
    }
    const LONG status =
        RegSetValueExW(key, L"InstallFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int StartPrinter(const char* printerName) {
    const std::wstring name = Wide(printerName);
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name.c_str(), &handle, nullptr)) {
        return 0;
    }
    const BOOL started = SetPrinterW(handle, 0, nullptr, PRINTER_CONTROL_RESUME);
    ClosePrinter(handle);
    return started ? 1 : 0;
}

}  // namespace sw::vendor::install
