#include "setup/res/ProgressEcho.h"

#include <cstdio>

#include "platform/shell/Shell.h"

void KVProgressEcho::Show(const std::wstring& text, int pos) {
    if (text == m_strLastText && pos == m_nLastPos) {
        return;
    }
    m_strLastText = text;
    m_nLastPos = pos;
    std::fprintf(stderr, "%s %3d%% %s\n", sw::shell::ToNarrow(m_strCaption).c_str(), pos,
                 sw::shell::ToNarrow(text).c_str());
    std::fflush(stderr);
}
