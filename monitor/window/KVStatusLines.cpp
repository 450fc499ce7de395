#include "monitor/window/KVStatusLines.h"

#include <poll.h>

#include "platform/base/TextCodec.h"

void KVStatusLines::Show(const KVJobProgress& progress) {
    m_bShown = true;
    m_strLast = progress.GetShownStatus();
    std::fprintf(m_out, "%s\n", sw::base::ToUtf8(m_strLast).c_str());
    std::fflush(m_out);
}

void KVStatusLines::Update(const KVJobProgress& progress) {
    // A status shown again unchanged (the job's end) is not a new line.
    if (m_bShown && progress.GetShownStatus() != m_strLast) {
        Show(progress);
    }
}

void KVStatusLines::Pump(int descriptor, int timeoutMs) {
    pollfd p{descriptor, POLLIN, 0};
    ::poll(&p, descriptor >= 0 ? 1 : 0, timeoutMs);
}
