// The file-system and system-folder calls an installer makes: copying over
// an existing file, making a folder, deleting a file at the next start of
// the machine, and the folders and version of the running system.
//
// Paths are wide text, as in Shell.h.
#pragma once

#include <string>

namespace sw::shell {

// Copies `from` to `to`, replacing a file already there even when it is
// read-only (the copy is written beside it and renamed into its place, so a
// reader never sees half a file). The copy keeps the source's permission
// bits. False, with the reason, when the source cannot be read or the
// destination cannot be written.
bool CopyFile(const std::wstring& from, const std::wstring& to, std::wstring* error = nullptr);

// Makes a folder (mode 0755). A folder that already exists is fine.
bool CreateDirectory(const std::wstring& path, std::wstring* error = nullptr);

// Has the file deleted when the machine next starts: the path joins a list
// that systemd-tmpfiles works through at boot, and the list removes itself
// then. The list lives in $SHEETWISE_TMPFILES_DIR, else /etc/tmpfiles.d
// where systemd-tmpfiles is installed. False, with the reason, when no such
// mechanism is at hand or the list cannot be written: the file will then
// stay.
bool DeleteFileAtNextStart(const std::wstring& path, std::wstring* error = nullptr);

// The folders the system's installers ask for, ending with "/": the
// machine-wide configuration folder (/etc/) and the system library folder
// (/usr/lib/).
std::wstring WindowsFolder();
std::wstring SystemFolder();

// The running system's platform and version as installers test them. Linux
// counts as the NT platform of a current version, never as 2000/XP (5.x).
struct OsVersion {
    unsigned long platformId = 0;
    unsigned long majorVersion = 0;
    unsigned long minorVersion = 0;
};
inline constexpr unsigned long kPlatformWin9x = 1;
inline constexpr unsigned long kPlatformNt = 2;
OsVersion GetOsVersion();

}  // namespace sw::shell
