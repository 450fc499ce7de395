// The uninstall progress window: centred and brought to the foreground; the
// uninstall sets the bar's position outright.
#pragma once

#include "setup/res/KVInstallerProgressWnd.h"

class CDlgUninstall : public KVInstallerProgressWnd {
public:
    static constexpr const wchar_t* msc_sCaption = L"Sheetwise Print Driver Uninstall";

    CDlgUninstall();

    BOOL ShowWindow(int nCmdShow = SW_SHOW);
    // The bar (control 1000), 0..100.
    void SetPos(int nPos) { MoveBar(nPos); }
};
