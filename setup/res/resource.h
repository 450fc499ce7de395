// The installer's title and the identifiers of its windows and their
// controls.
#pragma once

// The caption of the installer's message boxes.
inline constexpr const wchar_t* IDS_APP_TITLE = L"Sheetwise Print Driver Installer";

inline constexpr unsigned IDD_UNINSTALL = 102;          // CDlgUninstall
inline constexpr unsigned IDD_COMMAND_ARGS_HELP = 135;  // KVCommandArgsHelpDlg
inline constexpr unsigned IDD_INSTALLER = 137;          // KVPrintDriverInstallerDlg

inline constexpr unsigned IDC_UNINSTALL_PROGRESS = 1000;
inline constexpr unsigned IDC_STATUS_TEXT = 1001;
inline constexpr unsigned IDC_ARGS_TEXT = 1002;
inline constexpr unsigned IDC_INSTALL_PROGRESS = 1005;
