// Dialogs from templates, modal and modeless, and the dialog data exchange
// between controls and member values with its validation messages.
#pragma once

#include <memory>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Wnd.h"

using INT_PTR = LONG_PTR;

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(const sw::ui::DialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Runs the dialog until EndDialog; returns its result. Without windows
    // (IsInteractive() false) nothing is shown and the answer is IDCANCEL.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless (shown when the template says WS_VISIBLE
    // or on ShowWindow); false without windows.
    BOOL Create(CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    // Runs the data exchange; false when a value failed its check (the user
    // has been told and the focus is on that control).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Dialog units to pixels by the metrics of the dialog's font.
    void MapDialogRect(LPRECT lpRect) const;
    void GotoDlgCtrl(CWnd* pWndCtrl);

    const sw::ui::DialogTemplate& GetTemplate() const { return m_template; }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    CWnd* m_pParentWnd = nullptr;

private:
    bool CreateWindowFromTemplate(CWnd* pParentWnd, bool bModal);

    sw::ui::DialogTemplate m_template;
};

// Thrown by CDataExchange::Fail and caught by UpdateData.
class CUserException {};

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Moves the focus to the last prepared control (selecting an edit's
    // text) and ends the exchange.
    [[noreturn]] void Fail();

private:
    int m_idLastControl = 0;
    bool m_bEditLastControl = false;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// "Please enter an integer." when the text is not one.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
// "Please enter an integer between %1 and %2." when value is outside.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
