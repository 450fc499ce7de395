// Built where no window toolkit is: the monitor always writes status lines.
#include "monitor/window/KVStatusLines.h"

std::unique_ptr<KVProgressView> CreateProgressView(bool /*bWindows*/) {
    return std::make_unique<KVStatusLines>(stderr);
}
