// The installation progress window: each install step sets the status line
// and moves the bar by its share.
#pragma once

#include "setup/res/KVInstallerProgressWnd.h"

class KVPrintDriverInstallerDlg : public KVInstallerProgressWnd {
public:
    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Installation";

    KVPrintDriverInstallerDlg();

    // The bar (control 1005): the step, then one step forward.
    void SetStep(int nStep) { m_nStep = nStep; }
    void StepIt() { MoveBar(GetPos() + m_nStep); }

private:
    int m_nStep = 10;
};
