#include "parser/app/KVCommandLine.h"

#include <cwctype>

#include "platform/ui/MessageBox.h"

KVCommandLine::KVCommandLine() {
    m_szLastSwitch[0] = L'\0';
}

void KVCommandLine::ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) {
    const std::wstring param = pszParam ? pszParam : L"";
    if (bFlag) {
        m_mapFlags[param] = L"TRUE";
        // The buffer keeps its terminator: a longer name is cut, not overrun.
        const size_t n = std::min(param.size(), msc_nMaxSwitch - 1);
        param.copy(m_szLastSwitch, n);
        m_szLastSwitch[n] = L'\0';
        OnFlag(m_szLastSwitch);
    } else {
        for (wchar_t* p = m_szLastSwitch; *p; ++p) {
            *p = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(*p)));
        }
        const std::wstring name = m_szLastSwitch;
        m_mapFlags[name] = param;
        OnParam(name, param);
        m_szLastSwitch[0] = L'\0';
    }
    CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
}

void KVCommandLine::ShowParams() {
    std::wstring text;
    for (const auto& [name, value] : m_mapFlags) {
        text.append(name).append(L" ").append(value).append(L" ");
    }
    AfxMessageBox(text);
}

bool KVCommandLine::HasFlag(const std::wstring& name) {
    return m_mapFlags.count(name) != 0;
}

bool KVCommandLine::GetParam(const std::wstring& name, std::wstring& value) {
    const auto it = m_mapFlags.find(name);
    if (it == m_mapFlags.end()) {
        return false;
    }
    value = it->second;
    return true;
}
