#include "parser/sheet/KVDebugLog.h"

#include <cstdio>
#include <cstdlib>

#include "platform/shell/Shell.h"

namespace kvdebug {

std::string LogPath() {
    const char* value = std::getenv("SHEETWISE_DEBUG_LOG");
    return value ? value : "";
}

void Log(const std::wstring& text) {
    const std::string path = LogPath();
    if (path.empty()) {
        return;
    }
    if (FILE* f = std::fopen(path.c_str(), "a")) {
        const std::string line = sw::shell::ToNarrow(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

}  // namespace kvdebug
