// The help window: the list of switches, or the arguments of this run, in a
// read-only text box above OK. Without windows its text goes to standard
// output.
#pragma once

#include <string>

#include "platform/ui/Dialog.h"

class KVPrintDriverCommandLine;

class KVCommandArgsHelpDlg : public CDialog {
public:
    enum Mode { ModeSwitches = 1, ModeCurrentArgs = 2 };

    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Command Arguments";

    KVCommandArgsHelpDlg(int nMode, const KVPrintDriverCommandLine& cmdInfo, CWnd* pParentWnd = nullptr);

    // Shows the text until OK; returns IDOK (IDCANCEL when the window is
    // closed).
    INT_PTR DoModal() override;

    // The text of the read-only box: a title, then each line after "\n\t".
    const std::wstring& GetText() const { return m_strText; }

protected:
    BOOL OnInitDialog() override;

private:
    std::wstring m_strText;
};
