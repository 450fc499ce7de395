#include "parser/process/KVProgressDlg.h"

#include <unistd.h>

#include <algorithm>

#include "platform/shell/Shell.h"

namespace {
std::FILE* g_echo = nullptr;
}

void KVProgressDlg::SetEcho(std::FILE* echo) {
    g_echo = echo;
}

bool KVProgressDlg::Create() {
    m_bCreated = true;
    m_nPos = 0;
    return true;
}

void KVProgressDlg::ShowWindow() {
    m_bVisible = m_bCreated;
}

void KVProgressDlg::DestroyWindow() {
    m_bVisible = false;
    m_bCreated = false;
}

void KVProgressDlg::SetStatus(const std::wstring& strStatus) {
    m_strStatus = strStatus;
    Echo();
}

void KVProgressDlg::OffsetPos(int nDelta) {
    m_nPos = std::clamp(m_nPos + nDelta, 0, 100);
}

void KVProgressDlg::Echo() const {
    std::FILE* out = g_echo;
    if (!out) {
        if (!isatty(STDERR_FILENO)) {
            return;
        }
        out = stderr;
    }
    std::fprintf(out, "Progress: %3d%% %s\n", m_nPos, sw::shell::ToNarrow(m_strStatus).c_str());
    std::fflush(out);
}
