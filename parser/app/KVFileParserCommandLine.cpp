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

// What each switch that takes a value expects, for the message when it is
// missing.
struct ValueSwitch {
    const wchar_t* name;
    const wchar_t* expects;
};
constexpr ValueSwitch kValueSwitches[] = {
    {L"print", L"the path of a group file"},
    {L"pdf", L"the path of a PDF file"},
    {L"profile", L"the name of a profile"},
    {L"out", L"the path of the workbook to write"},
};

const ValueSwitch* FindValueSwitch(const std::wstring& name) {
    for (const ValueSwitch& s : kValueSwitches) {
        if (EqualsNoCase(name, s.name)) {
            return &s;
        }
    }
    return nullptr;
}

}  // namespace

void KVFileParserCommandLine::OnFlag(const std::wstring& name) {
    NoteMissingValue();
    if (EqualsNoCase(name, L"batch")) {
        m_bBatch = true;
    } else if (EqualsNoCase(name, L"profile")) {
        m_bProfileSwitch = true;
    } else if (EqualsNoCase(name, L"out")) {
        m_bOutSwitch = true;
    }
    if (FindValueSwitch(name)) {
        m_strAwaitingValue = name;
    } else if (!EqualsNoCase(name, L"batch") && m_strUsageError.empty()) {
        m_strUsageError = L"Unknown switch -" + name + L".";
    }
}

void KVFileParserCommandLine::NoteMissingValue() {
    if (!m_strAwaitingValue.empty() && m_strUsageError.empty()) {
        m_strUsageError = L"The switch -" + m_strAwaitingValue + L" needs " +
                          FindValueSwitch(m_strAwaitingValue)->expects + L".";
    }
    m_strAwaitingValue.clear();
}

std::wstring KVFileParserCommandLine::GetUsageError() {
    NoteMissingValue();
    return m_strUsageError;
}

void KVFileParserCommandLine::OnParam(const std::wstring& name, const std::wstring& value) {
    // Only a switch that takes a value takes the argument after it.
    if (m_strAwaitingValue.empty() && m_strUsageError.empty()) {
        m_strUsageError = L"Unexpected argument \"" + value + L"\".";
    }
    m_strAwaitingValue.clear();
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
