// Asks for the name of a profile to add.
#pragma once

#include "platform/ui/Dialog.h"

class KVNewProfileName : public CDialog {
public:
    explicit KVNewProfileName(CWnd* pParent = nullptr);

    // After OK: the name as typed, never empty.
    CString m_strProfileName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
};
