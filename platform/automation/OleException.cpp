#include "platform/automation/OleException.h"

#include <cstdio>
#include <cwchar>

CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

CException::~CException() = default;

void CException::Delete() {
    if (m_bAutoDelete) {
        delete this;
    }
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext != nullptr) {
        *pnHelpContext = 0;
    }
    if (lpszError != nullptr && nMaxError > 0) {
        lpszError[0] = L'\0';
    }
    return FALSE;
}

namespace {

BOOL CopyMessage(const std::wstring& text, LPTSTR buffer, UINT size) {
    if (buffer == nullptr || size == 0) {
        return FALSE;
    }
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
    return TRUE;
}

}  // namespace

std::wstring CException::ErrorMessage() const {
    // Ask with growing buffers until the message fits.
    for (UINT size = 256; size <= (1U << 20); size *= 4) {
        std::wstring buffer(size, L'\0');
        if (!GetErrorMessage(buffer.data(), size)) {
            return std::wstring();
        }
        const std::size_t len = std::wcslen(buffer.c_str());
        if (len + 1 < size) {
            buffer.resize(len);
            return buffer;
        }
    }
    return std::wstring();
}

int CException::ReportError(UINT nType, UINT) const {
    std::wstring text = ErrorMessage();
    if (text.empty()) {
        text = L"No error message is available.";
    }
    return AfxMessageBox(text, nType);
}

COleException::COleException(SCODE sc) : m_sc(sc) {}

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext != nullptr) {
        *pnHelpContext = 0;
    }
    return CopyMessage(AfxStatusCodeMessage(m_sc), lpszError, nMaxError);
}

SCODE COleException::Process(const CException* pAnyException) {
    if (const auto* ole = dynamic_cast<const COleException*>(pAnyException)) {
        return ole->m_sc;
    }
    if (const auto* disp = dynamic_cast<const COleDispatchException*>(pAnyException)) {
        return disp->m_scError != 0 ? disp->m_scError : DISP_E_EXCEPTION;
    }
    return E_UNEXPECTED;
}

COleDispatchException::COleDispatchException(LPCTSTR lpszDescription, UINT nHelpID, WORD wCode)
    : m_wCode(wCode),
      m_strDescription(lpszDescription == nullptr ? L"" : lpszDescription),
      m_dwHelpContext(nHelpID),
      m_scError(0) {}

BOOL COleDispatchException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext != nullptr) {
        *pnHelpContext = m_dwHelpContext;
    }
    if (m_strDescription.empty()) {
        return CopyMessage(AfxStatusCodeMessage(m_scError != 0 ? m_scError : DISP_E_EXCEPTION), lpszError,
                           nMaxError);
    }
    return CopyMessage(m_strDescription, lpszError, nMaxError);
}

std::wstring AfxStatusCodeMessage(SCODE sc) {
    struct Entry {
        SCODE sc;
        const wchar_t* text;
    };
    static const Entry kMessages[] = {
        {S_OK, L"The operation completed successfully."},
        {E_NOTIMPL, L"Not implemented."},
        {E_NOINTERFACE, L"No such interface supported."},
        {E_POINTER, L"Invalid pointer."},
        {E_ABORT, L"Operation aborted."},
        {E_FAIL, L"Unspecified error."},
        {E_UNEXPECTED, L"Catastrophic failure."},
        {E_ACCESSDENIED, L"Access is denied."},
        {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
        {E_INVALIDARG, L"The parameter is incorrect."},
        {CLASS_E_NOAGGREGATION, L"Class does not support aggregation (or class object is remote)."},
        {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class."},
        {REGDB_E_CLASSNOTREG, L"Class not registered."},
        {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
        {CO_E_CLASSSTRING, L"Invalid class string."},
        {RPC_E_CHANGED_MODE, L"Cannot change thread mode after it is set."},
        {DISP_E_UNKNOWNINTERFACE, L"Unknown interface."},
        {DISP_E_MEMBERNOTFOUND, L"Member not found."},
        {DISP_E_PARAMNOTFOUND, L"Parameter not found."},
        {DISP_E_TYPEMISMATCH, L"Type mismatch."},
        {DISP_E_UNKNOWNNAME, L"Unknown name."},
        {DISP_E_NONAMEDARGS, L"No named arguments."},
        {DISP_E_BADVARTYPE, L"Bad variable type."},
        {DISP_E_EXCEPTION, L"Exception occurred."},
        {DISP_E_OVERFLOW, L"Out of present range."},
        {DISP_E_BADINDEX, L"Invalid index."},
        {DISP_E_UNKNOWNLCID, L"Unknown language."},
        {DISP_E_ARRAYISLOCKED, L"Memory is locked."},
        {DISP_E_BADPARAMCOUNT, L"Invalid number of parameters."},
        {DISP_E_PARAMNOTOPTIONAL, L"Parameter not optional."},
        {DISP_E_BADCALLEE, L"Invalid callee."},
        {DISP_E_NOTACOLLECTION, L"Does not support a collection."},
        {DISP_E_DIVBYZERO, L"Division by zero."},
        {TYPE_E_ELEMENTNOTFOUND, L"Element not found."},
    };
    for (const Entry& e : kMessages) {
        if (e.sc == sc) {
            return e.text;
        }
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"Unknown error 0x%08X.", static_cast<unsigned>(static_cast<ULONG>(sc)));
    return text;
}

void AfxThrowOleException(SCODE sc) {
    throw new COleException(sc);
}

void AfxThrowOleDispatchException(WORD wCode, LPCTSTR lpszDescription, UINT nHelpID) {
    throw new COleDispatchException(lpszDescription, nHelpID, wCode);
}
