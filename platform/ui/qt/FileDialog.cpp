// The open and save dialogs on QFileDialog.
#include "platform/ui/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/qt/Window.h"

using sw::ui::qt::Q;
using sw::ui::qt::W;

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_dwFlags(dwFlags),
      m_strDefExt(lpszDefExt == nullptr ? L"" : lpszDefExt),
      m_strFileName(lpszFileName == nullptr ? L"" : lpszFileName),
      m_strFilter(lpszFilter == nullptr ? L"" : lpszFilter),
      m_pParentWnd(pParentWnd) {}

std::vector<std::pair<CString, CString>> CFileDialog::SplitFilter(LPCTSTR lpszFilter) {
    std::vector<std::pair<CString, CString>> pairs;
    if (lpszFilter == nullptr) {
        return pairs;
    }
    const CString filter(lpszFilter);
    std::vector<CString> parts;
    size_t start = 0;
    while (start < filter.size()) {
        const size_t bar = filter.find(L'|', start);
        const size_t end = bar == CString::npos ? filter.size() : bar;
        if (end == start) {
            break;  // "||" ends the list
        }
        parts.push_back(filter.substr(start, end - start));
        start = end + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        pairs.emplace_back(parts[i], parts[i + 1]);
    }
    return pairs;
}

CString CFileDialog::WithDefaultExtension(const CString& path, const CString& defExt) {
    if (defExt.empty() || path.empty()) {
        return path;
    }
    const size_t slash = path.rfind(L'/');
    const CString name = slash == CString::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.find(L'.') != CString::npos) {
        return path;
    }
    return path + L"." + defExt;
}

CString CFileDialog::GetFileName() const {
    const size_t slash = m_strPathName.rfind(L'/');
    return slash == CString::npos ? m_strPathName : m_strPathName.substr(slash + 1);
}

INT_PTR CFileDialog::DoModal() {
    m_strPathName.clear();
    if (!sw::ui::IsInteractive()) {
        return IDCANCEL;
    }
    QWidget* parent = m_pParentWnd == nullptr ? nullptr : sw::ui::qt::ToWidget(m_pParentWnd->m_hWnd);
    QFileDialog dialog(parent,
                       m_bOpenFileDialog != FALSE ? QStringLiteral("Open") : QStringLiteral("Save As"));
    // The dialog of our own, so that its rules are those of the framework's
    // common dialogs on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(m_bOpenFileDialog != FALSE ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog != FALSE && (m_dwFlags & OFN_FILEMUSTEXIST) != 0
                           ? QFileDialog::ExistingFile
                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (m_dwFlags & OFN_OVERWRITEPROMPT) == 0);
    QStringList filters;
    for (const auto& [name, pattern] : SplitFilter(m_strFilter.c_str())) {
        // "*.*" means every file on Windows; here that is "*".
        QString patterns = Q(pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        QString shown = Q(name);
        const qsizetype open = shown.lastIndexOf(QLatin1Char('('));
        shown = (open < 0 ? shown : shown.left(open).trimmed()) + QStringLiteral(" (") + patterns +
                QLatin1Char(')');
        filters << shown;
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    if (!m_strDefExt.empty()) {
        dialog.setDefaultSuffix(Q(m_strDefExt));
    }
    const QString initial = Q(m_strFileName);
    if (!initial.isEmpty() && !initial.contains(QLatin1Char('*')) && !initial.contains(QLatin1Char('?'))) {
        const QFileInfo info(initial);
        if (info.path() != QLatin1String(".") && QDir(info.path()).exists()) {
            dialog.setDirectory(info.path());
        }
        dialog.selectFile(info.fileName());
    }
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return IDCANCEL;
        }
        const QString chosen = dialog.selectedFiles().constFirst();
        const QFileInfo info(chosen);
        if ((m_dwFlags & OFN_PATHMUSTEXIST) != 0 && !QDir(info.path()).exists()) {
            AfxMessageBox(W(info.path()) + L"\nPath does not exist.\nCheck the path and try again.",
                          MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        m_strPathName = WithDefaultExtension(W(info.absoluteFilePath()), m_strDefExt);
        return IDOK;
    }
}
