// What the print monitor knows of the job it follows, and what each job
// message of the driver, the Cancel button and closing the window do to it.
// No window here: the progress window (window/) shows this state, and the
// pipe reader (PipeReader.h) feeds it the driver's records in order.
#pragma once

#include <cstdint>
#include <string>

#include "platform/vendor/JobMessage.h"
#include "platform/vendor/PrinterSettings.h"

// The progress bar as the window's control keeps it.
struct KVProgressBarState {
    int lower = 0;
    int upper = 100;
    int step = 10;  // a progress bar's step until one is set
    int pos = 0;

    void SetRange(int low, int high);
    // One step on; past the upper end the bar starts over at the lower end.
    void StepIt();
};

class KVJobProgress {
public:
    static constexpr const wchar_t* msc_sWaiting = L"Waiting for print driver...";
    static constexpr const wchar_t* msc_sInitializing = L"Initializing print job.";
    static constexpr const wchar_t* msc_sPrinting = L"Printing %1 of %2 pages";

    // The printer side the monitor calls while it follows a job.
    class Printer {
    public:
        virtual ~Printer() = default;
        // The printer's current settings, N and F (both 0 when unknown).
        virtual sw::vendor::PageValues GetCurrentSettings(const std::wstring& printerName) = 0;
        // Deletes the first queued job of `printerName` whose document is
        // `documentName`, names compared without regard to case.
        virtual void DeleteQueuedJob(const std::wstring& documentName, const std::wstring& printerName) = 0;
    };

    explicit KVJobProgress(Printer& printer) : m_printer(printer) {}

    // A job message of the driver (window message 2024). The page values are
    // the printer's current settings; where the pipe carries the values the
    // driver had when it sent the message (`sentWith`), those are used, so a
    // monitor that reads late still shows the page each message was about.
    void OnJobMessage(const sw::vendor::JobMessageRecord& record,
                      const sw::vendor::PageValues* sentWith = nullptr);
    // The Cancel button: cancelled and finished.
    void OnCancel();
    // Closing the window: finished, then the dialog's default, which is Cancel.
    void OnClose();
    // The program is asked to quit while it waits.
    void OnQuit();

    const std::wstring& GetStatus() const { return m_strStatus; }
    // The text the status control shows, and how often it was shown.
    const std::wstring& GetShownStatus() const { return m_strShown; }
    unsigned GetShowCount() const { return m_nShown; }
    const KVProgressBarState& GetBar() const { return m_bar; }
    bool IsCancelled() const { return m_bCancelled; }
    bool IsFinished() const { return m_bFinished; }
    // The job's end came as an abort of the driver.
    bool WasAborted() const { return m_bAborted; }
    const std::wstring& GetDocumentName() const { return m_strDocumentName; }
    const std::wstring& GetGroupFileName() const { return m_strGroupFileName; }
    const std::wstring& GetPrinterName() const { return m_strPrinterName; }
    const std::wstring& GetCurrentJob() const { return m_strCurrentJob; }
    // Queued jobs the monitor asked to delete, for its log.
    unsigned GetDeleteRequests() const { return m_nDeleteRequests; }

    // Equality of two names without regard to case, over the length of the
    // longer one.
    static bool SameName(const std::wstring& a, const std::wstring& b);

private:
    void ShowStatus();

    Printer& m_printer;
    std::wstring m_strStatus = msc_sWaiting;
    std::wstring m_strShown = msc_sWaiting;
    unsigned m_nShown = 1;  // the window opens showing it
    bool m_bCancelled = false;
    bool m_bFinished = false;
    bool m_bAborted = false;
    std::wstring m_strDocumentName;
    std::wstring m_strGroupFileName;
    std::wstring m_strPrinterName;
    std::wstring m_strCurrentJob;
    KVProgressBarState m_bar;
    unsigned m_nDeleteRequests = 0;
};
