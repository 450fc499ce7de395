// Diagnostic texts that are not shown to the user: failures of automation
// calls that the spreadsheet object caught. They go to the file named by
// SHEETWISE_DEBUG_LOG, appended one line each, and nowhere when it is unset.
#pragma once

#include <string>

namespace kvdebug {

void Log(const std::wstring& text);

// The file in use; empty when logging is off.
std::string LogPath();

}  // namespace kvdebug
