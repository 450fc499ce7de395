// Where the driver keeps what it shares with the programs of a user session.
//
// - Printer settings: one file per queue, SETTINGS/QUEUE.conf, where SETTINGS
//   is $SHEETWISE_PRINTER_DIR or /etc/sheetwise/printers.
// - A user's runtime folder: RUNTIME/UID/sheetwise, where RUNTIME is
//   $SHEETWISE_RUNTIME_ROOT or /run/user (the session's XDG_RUNTIME_DIR
//   under systemd-logind). The message pipes and the page values live there.
//
// A CUPS backend gets only the environment cupsd gives it, so a scheduler
// that must use other folders sets these variables with SetEnv.
#pragma once

#include <sys/types.h>

#include <string>

namespace sw::vendor {

std::string SettingsFolder();
std::string SettingsFile(const std::string& queue);

// The user's session root (RUNTIME/UID), whose presence means the user has
// a session that could listen; and the driver's folder inside it.
std::string SessionRoot(uid_t uid);
std::string RuntimeFolder(uid_t uid);

// The FIFO of a pipe name: "\\.\pipe\NAME" or NAME alone; "/" in NAME
// becomes "_" so the FIFO stays in the runtime folder.
std::string PipePath(uid_t uid, const std::wstring& pipeName);

// Creates the runtime folder (mode 0700) when the session root exists, or
// always when the runtime root was set explicitly. False with a reason when
// it cannot be made or is not a private folder of this user.
bool EnsureRuntimeFolder(uid_t uid, std::string* error);

}  // namespace sw::vendor
