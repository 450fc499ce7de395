// The framework's failure objects. They are thrown as pointers to heap
// objects, as the framework does, and the catcher disposes of them:
//
//     try { ... }
//     catch (COleDispatchException* e) { use e->m_wCode, e->m_strDescription; e->Delete(); }
//     catch (COleException* e) { use e->m_sc; e->Delete(); }
//
// Both derive from CException, so `catch (CException* e)` catches either.
#pragma once

#include <string>

#include "platform/automation/StatusCodes.h"
#include "platform/ui/MessageBox.h"

class CException {
public:
    explicit CException(BOOL bAutoDelete = TRUE);
    CException(const CException&) = delete;
    CException& operator=(const CException&) = delete;
    virtual ~CException();

    // Frees a heap-allocated failure object; does nothing for one that is
    // not auto-deleted (a local or member object).
    void Delete();

    // Copies the failure's message (truncated, always terminated) into the
    // buffer; FALSE when there is no message or no buffer.
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    // Shows the message in a message box; nMessageID is unused (no string
    // tables). Returns the box's answer.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0) const;

    // The whole message as text.
    std::wstring ErrorMessage() const;

    BOOL m_bAutoDelete;
};

// A failure of the call itself, with its status code.
class COleException : public CException {
public:
    explicit COleException(SCODE sc = E_FAIL);

    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    // The status code of any failure object (E_UNEXPECTED for one without).
    static SCODE Process(const CException* pAnyException);

    SCODE m_sc;
};

// A failure raised by the automation server, with its own code and text.
class COleDispatchException : public CException {
public:
    COleDispatchException(LPCTSTR lpszDescription, UINT nHelpID, WORD wCode);

    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    WORD m_wCode;                   // the server's error code, 0 when m_scError carries it
    std::wstring m_strDescription;  // the server's description of the failure
    DWORD m_dwHelpContext;
    std::wstring m_strHelpFile;
    std::wstring m_strSource;  // the server's name
    SCODE m_scError;           // status code, 0 when m_wCode carries it
};

// The system's text for a status code ("Type mismatch." ...), or
// "Unknown error 0x80001234." for a code without one.
std::wstring AfxStatusCodeMessage(SCODE sc);

[[noreturn]] void AfxThrowOleException(SCODE sc);
[[noreturn]] void AfxThrowOleDispatchException(WORD wCode, LPCTSTR lpszDescription, UINT nHelpID = 0);
