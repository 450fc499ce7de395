// The service manager's calls for the one service the system controls: the
// spooler ("Spooler"), which is the CUPS scheduler.
//
// Stopping and starting it runs, in this order of choice:
//   - $SHEETWISE_SPOOLER_SERVICE with the argument "stop" or "start", when
//     set (tests point it at a scheduler of their own);
//   - systemctl stop|start cups.service, when systemd runs the machine;
//   - invoke-rc.d cups stop|start, else /etc/init.d/cups stop|start.
// A call waits for the command and succeeds when it exits with 0.
#pragma once

#include "platform/spooler/SpoolerAdmin.h"

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

inline constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
inline constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
inline constexpr DWORD SERVICE_CONTROL_STOP = 1;
inline constexpr DWORD SERVICE_STOPPED = 1;
inline constexpr DWORD SERVICE_RUNNING = 4;
inline constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
// Only "Spooler" (any case) exists; others give ERROR_SERVICE_DOES_NOT_EXIST.
SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
// SERVICE_CONTROL_STOP only.
BOOL ControlService(SC_HANDLE hService, DWORD dwControl, SERVICE_STATUS* lpServiceStatus);
BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors);
BOOL CloseServiceHandle(SC_HANDLE hSCObject);
