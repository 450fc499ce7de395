// How the installer's progress windows show themselves without a display:
// one line on standard error each time the bar or the text changes.
#pragma once

#include <string>

class KVProgressEcho {
public:
    explicit KVProgressEcho(std::wstring caption) : m_strCaption(std::move(caption)) {}
    void Show(const std::wstring& text, int pos);

private:
    std::wstring m_strCaption;
    std::wstring m_strLastText;
    int m_nLastPos = -1;
};
