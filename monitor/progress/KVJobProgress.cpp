#include "monitor/progress/KVJobProgress.h"

#include <cwctype>

#include "lib/util/KVLibUtility.h"

namespace {

// The step that moves the bar once per page; past 100 pages a whole-number
// step of a 0..100 bar would be 0, so the bar then counts pages instead.
void SetPageSteps(KVProgressBarState& bar, std::uint32_t pages) {
    if (pages == 0) {
        return;  // the step stays as it was
    }
    if (pages > 100) {
        bar.SetRange(0, static_cast<int>(std::min<std::uint32_t>(pages, 0x7FFFFFFF)));
        bar.step = 1;
        return;
    }
    bar.step = static_cast<int>(100U / pages);
}

std::wstring Decimal(long long value) {
    return std::to_wstring(value);
}

}  // namespace

void KVProgressBarState::SetRange(int low, int high) {
    lower = low;
    upper = high;
    pos = low;
}

void KVProgressBarState::StepIt() {
    pos += step;
    if (pos > upper) {
        pos = lower + (pos - upper);
        if (pos > upper) {
            pos = lower;
        }
    }
}

bool KVJobProgress::SameName(const std::wstring& a, const std::wstring& b) {
    const long length = KVLibUtility::GetLongestStringLength(a.c_str(), b.c_str(), nullptr);
    for (long i = 0; i < length; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const wchar_t ca = at < a.size() ? a[at] : L'\0';
        const wchar_t cb = at < b.size() ? b[at] : L'\0';
        if (std::towupper(static_cast<wint_t>(ca)) != std::towupper(static_cast<wint_t>(cb))) {
            return false;
        }
    }
    return true;
}

void KVJobProgress::ShowStatus() {
    m_strShown = m_strStatus;
    ++m_nShown;
}

void KVJobProgress::OnJobMessage(const sw::vendor::JobMessageRecord& record,
                                 const sw::vendor::PageValues* sentWith) {
    const std::wstring document = sw::vendor::RecordText(record.documentName);
    const std::wstring printer = sw::vendor::RecordText(record.printerName);
    if (m_bFinished) {
        // A job that still reports after the end is taken off the queue.
        ++m_nDeleteRequests;
        m_printer.DeleteQueuedJob(document, printer);
        return;
    }
    const sw::vendor::PageValues values =
        sentWith != nullptr ? *sentWith : m_printer.GetCurrentSettings(printer);
    switch (record.type) {
        case sw::vendor::kJobStarted:
            m_strDocumentName = document;
            m_strGroupFileName = sw::vendor::RecordText(record.groupFileName);
            m_strPrinterName = printer;
            m_strCurrentJob = m_strDocumentName;
            m_bar.SetRange(0, 100);
            SetPageSteps(m_bar, values.n);
            m_strStatus = msc_sInitializing;
            ShowStatus();
            break;
        case sw::vendor::kPagePrinted:
            if (SameName(document, m_strCurrentJob)) {
                m_bar.StepIt();
                std::wstring text = msc_sPrinting;
                const long long last = static_cast<long long>(values.f) + values.n - 1;
                text.replace(text.find(L"%1"), 2, Decimal(values.f));
                text.replace(text.find(L"%2"), 2, Decimal(last));
                m_strStatus = text;
                ShowStatus();
            }
            break;
        case sw::vendor::kJobEnded:
            if (SameName(document, m_strCurrentJob)) {
                // The group file of the finished job is known only now.
                const std::wstring groupFile = sw::vendor::RecordText(record.groupFileName);
                if (!groupFile.empty()) {
                    m_strGroupFileName = groupFile;
                }
                ShowStatus();
                m_bFinished = true;
            }
            break;
        case sw::vendor::kJobAborted:
            if (SameName(document, m_strCurrentJob)) {
                m_bAborted = true;
                m_bCancelled = true;
                m_bFinished = true;
            }
            break;
        default:
            break;
    }
}

void KVJobProgress::OnCancel() {
    m_bCancelled = true;
    m_bFinished = true;
}

void KVJobProgress::OnClose() {
    m_bFinished = true;
    OnCancel();
}

void KVJobProgress::OnQuit() {
    m_bCancelled = true;
    m_bFinished = true;
}
