// The dialog data exchange between controls and member values, with the
// framework's validation messages.
#include <QLineEdit>

#include <climits>
#include <cwctype>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/qt/Window.h"

using sw::ui::qt::ToWidget;

CDataExchange::CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    CWnd* control = m_pDlgWnd->GetDlgItem(nIDC);
    m_idLastControl = nIDC;
    m_bEditLastControl = false;
    return control == nullptr ? nullptr : control->m_hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hWnd = PrepareCtrl(nIDC);
    m_bEditLastControl = true;
    return hWnd;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_idLastControl != 0) {
        if (CWnd* control = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            control->SetFocus();
            if (m_bEditLastControl) {
                if (auto* edit = qobject_cast<QLineEdit*>(ToWidget(control->m_hWnd))) {
                    edit->selectAll();
                }
            }
        }
    }
    throw CUserException();
}

namespace {

// A whole decimal integer with optional blanks around it and a sign.
bool ParseInteger(const CString& text, int& value) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long number = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        number = number * 10 + (text[i] - L'0');
        if (number > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
        ++i;
        ++digits;
    }
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])) != 0) {
        ++i;
    }
    if (digits == 0 || i != text.size()) {
        return false;
    }
    number = negative ? -number : number;
    if (number > INT_MAX || number < INT_MIN) {
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd == nullptr) {
        HWND hWnd = pDX->PrepareCtrl(nIDC);
        if (hWnd != nullptr) {
            rControl.SubclassWindow(hWnd);
        }
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    CWnd* control = CWnd::FromHandle(hWnd);
    if (control == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        control->GetWindowText(value);
    } else {
        control->SetWindowText(value.c_str());
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    CWnd* control = CWnd::FromHandle(hWnd);
    if (control == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        CString text;
        control->GetWindowText(text);
        if (!ParseInteger(text, value)) {
            AfxMessageBox(L"Please enter an integer.", MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
    } else {
        control->SetWindowText(std::to_wstring(value).c_str());
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    auto* button = dynamic_cast<CButton*>(CWnd::FromHandle(hWnd));
    if (button == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = button->GetCheck();
    } else {
        button->SetCheck(value);
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    auto* combo = dynamic_cast<CComboBox*>(CWnd::FromHandle(hWnd));
    if (combo == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        index = combo->GetCurSel();
    } else {
        combo->SetCurSel(index);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) {
        return;
    }
    AfxMessageBox(L"Please enter an integer between " + std::to_wstring(minVal) + L" and " +
                      std::to_wstring(maxVal) + L".",
                  MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}
