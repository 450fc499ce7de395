#include "setup/uninstall/KVSpoolerRemoval.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/spooler/ServiceControl.h"
#include "platform/spooler/SpoolerAdmin.h"

namespace removal {
namespace {

constexpr const wchar_t* kEnvironment = L"Windows NT x86";
constexpr const wchar_t* kMonitorEnvironment = L"Windows 4.0";
constexpr const wchar_t* kProcessorsKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors\\";

bool SameText(const std::wstring& a, const std::wstring& b) {
    return wcscasecmp(a.c_str(), b.c_str()) == 0;
}

// Calls an enumeration twice, first for the size it needs.
template <typename Info, typename Enumerate>
std::vector<Info> Enumerated(std::vector<BYTE>& storage, Enumerate enumerate) {
    DWORD needed = 0;
    DWORD count = 0;
    enumerate(nullptr, 0, &needed, &count);
    storage.assign(needed + sizeof(Info), 0);
    if (!enumerate(storage.data(), static_cast<DWORD>(storage.size()), &needed, &count)) {
        return {};
    }
    std::vector<Info> items(count);
    if (count > 0) {
        std::memcpy(items.data(), storage.data(), count * sizeof(Info));
    }
    return items;
}

bool ControlSpooler(bool start) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        return false;
    }
    SC_HANDLE service = OpenServiceW(manager, L"Spooler", SERVICE_ALL_ACCESS);
    bool ok = false;
    if (service != nullptr) {
        SERVICE_STATUS status{};
        ok = start ? StartServiceW(service, 0, nullptr) != FALSE
                   : ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return ok;
}

}  // namespace

bool DeletePrintersOfDriver(const std::wstring& driverName) {
    std::vector<BYTE> storage;
    const auto printers = Enumerated<PRINTER_INFO_2W>(storage, [](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, cb, n, c);
    });
    for (const PRINTER_INFO_2W& printer : printers) {
        if (printer.pDriverName == nullptr || !SameText(printer.pDriverName, driverName)) {
            continue;
        }
        HANDLE handle = nullptr;
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(printer.pPrinterName, &handle, &defaults)) {
            return false;
        }
        const BOOL deleted = DeletePrinter(handle);
        ClosePrinter(handle);
        if (!deleted) {
            return false;
        }
    }
    return true;
}

bool IsDriverInstalled(const std::wstring& driverName) {
    std::vector<BYTE> storage;
    for (const auto& driver :
         Enumerated<DRIVER_INFO_1W>(storage, [](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
             return EnumPrinterDriversW(nullptr, kEnvironment, 1, b, cb, n, c);
         })) {
        if (driver.pName == driverName) {
            return true;
        }
    }
    return false;
}

unsigned long DeleteDriver(const std::wstring& driverName) {
    if (DeletePrinterDriverW(nullptr, nullptr, driverName.c_str())) {
        return 0;
    }
    const DWORD error = SpoolerGetLastError();
    return error != 0 ? error : 1;
}

bool IsMonitorInstalled(const std::wstring& monitorName) {
    std::vector<BYTE> storage;
    for (const auto& monitor :
         Enumerated<MONITOR_INFO_1W>(storage, [](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
             return EnumMonitorsW(nullptr, 1, b, cb, n, c);
         })) {
        if (monitor.pName == monitorName) {
            return true;
        }
    }
    return false;
}

void RemovePortsAndMonitor(const std::wstring& monitorName, const std::wstring& printerName) {
    std::vector<BYTE> portStorage;
    const auto ports = Enumerated<PORT_INFO_2W>(portStorage, [](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
        return EnumPortsW(nullptr, 2, b, cb, n, c);
    });
    int counted = 0;
    for (const PORT_INFO_2W& port : ports) {
        if (port.pMonitorName == nullptr || monitorName != port.pMonitorName) {
            continue;
        }
        ++counted;
        std::vector<BYTE> printerStorage;
        const auto printers =
            Enumerated<PRINTER_INFO_5W>(printerStorage, [](LPBYTE b, DWORD cb, LPDWORD n, LPDWORD c) {
                return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, b, cb, n, c);
            });
        int users = 0;
        for (const PRINTER_INFO_5W& printer : printers) {
            if (SameText(printer.pPortName, port.pPortName) && !SameText(printer.pPrinterName, printerName)) {
                ++users;
            }
        }
        if (users == 0) {
            if (!DeletePortW(nullptr, nullptr, port.pPortName)) {
                return;
            }
            --counted;
        }
    }
    if (counted == 0) {
        DeleteMonitorW(nullptr, kMonitorEnvironment, monitorName.c_str());
    }
}

void RemovePrintProcessor(const std::wstring& processorName) {
    SpoolerSetLastError(0);
    DeletePrintProcessorW(nullptr, kEnvironment, processorName.c_str());
    if (SpoolerGetLastError() != 0) {
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kProcessorsKey + processorName).c_str(), 0, KEY_ALL_ACCESS,
                      &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Driver");
        RegCloseKey(key);
    }
    std::wstring parent = kProcessorsKey;
    parent.pop_back();
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteKeyW(key, processorName.c_str());
        RegCloseKey(key);
    }
}

bool StopSpooler() {
    return ControlSpooler(false);
}

bool StartSpooler() {
    return ControlSpooler(true);
}

}  // namespace removal
