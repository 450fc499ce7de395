// The help window: the list of switches, or the arguments of this run.
// Without windows its text goes to standard output.
#pragma once

#include <string>

class KVPrintDriverCommandLine;

class KVCommandArgsHelpDlg {
public:
    enum Mode { ModeSwitches = 1, ModeCurrentArgs = 2 };

    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Command Arguments";

    KVCommandArgsHelpDlg(int nMode, const KVPrintDriverCommandLine& cmdInfo);

    // Shows the text until OK; returns IDOK.
    int DoModal();

    // The text of the read-only box: a title, then each line after "\n\t".
    const std::wstring& GetText() const { return m_strText; }

private:
    std::wstring m_strText;
};
