// The common open and save dialogs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/ui/Dialog.h"

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002U;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004U;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800U;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000U;

class CFileDialog {
public:
    // lpszFilter: "Name|pattern|Name|pattern||" as on Windows.
    explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = nullptr, LPCTSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR lpszFilter = nullptr,
                         CWnd* pParentWnd = nullptr);
    virtual ~CFileDialog() = default;

    // IDOK with a path, or IDCANCEL; without windows always IDCANCEL.
    virtual INT_PTR DoModal();
    CString GetPathName() const { return m_strPathName; }
    CString GetFileName() const;

    // The filter as pairs of shown name and patterns.
    static std::vector<std::pair<CString, CString>> SplitFilter(LPCTSTR lpszFilter);
    // The path with the default extension added when its name has none.
    static CString WithDefaultExtension(const CString& path, const CString& defExt);

    BOOL m_bOpenFileDialog;
    DWORD m_dwFlags;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    CWnd* m_pParentWnd;

private:
    CString m_strPathName;
};
