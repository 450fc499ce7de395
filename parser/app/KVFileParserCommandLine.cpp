#include "parser/app/KVFileParserCommandLine.h"

#include <cwctype>

namespace {

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

void KVFileParserCommandLine::OnFlag(const std::wstring& name) {
    if (EqualsNoCase(name, L"batch")) {
        m_bBatch = true;
    } else if (EqualsNoCase(name, L"profile")) {
        m_bProfileSwitch = true;
    } else if (EqualsNoCase(name, L"out")) {
        m_bOutSwitch = true;
    }
}

void KVFileParserCommandLine::OnParam(const std::wstring& name, const std::wstring& value) {
    if (EqualsNoCase(name, L"PROFILE")) {
        m_strProfile = value;
    } else if (EqualsNoCase(name, L"OUT")) {
        m_strOut = value;
    } else if (EqualsNoCase(name, L"PRINT")) {
        m_bPrintJob = true;
    } else if (EqualsNoCase(name, L"PDF")) {
        m_bPrintJob = true;
        m_bPdfJob = true;
    }
}

std::wstring KVFileParserCommandLine::GetFileName() {
    if (m_strFileName.empty()) {
        std::wstring value;
        if (m_bPdfJob) {
            if (GetParam(L"PDF", value)) {
                m_strFileName = value;
            }
        } else if (m_bPrintJob) {
            if (GetParam(L"PRINT", value)) {
                m_strFileName = value;
            }
        }
    }
    return m_strFileName;
}

bool KVFileParserCommandLine::IsPdfJob() {
    return m_bPdfJob;
}

bool KVFileParserCommandLine::IsPrintJob() {
    return m_bPrintJob;
}
