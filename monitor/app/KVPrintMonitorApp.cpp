#include "monitor/app/KVPrintMonitorApp.h"

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "monitor/app/KVParserLauncher.h"
#include "monitor/progress/KVSpoolerPrinter.h"
#include "monitor/unattended/KVUnattendedJob.h"
#include "monitor/window/KVPrintMonitorDlg.h"
#include "monitor/window/KVPrintMonitorWnd.h"
#include "monitor/window/KVProgressView.h"
#include "platform/base/TextCodec.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr int kPumpMs = 100;

std::atomic<bool> g_quit{false};

void OnQuitSignal(int /*signal*/) {
    g_quit = true;
}

// A quit request interrupts the wait instead of ending the program there.
void CatchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    for (int s : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(s, &action, nullptr);
    }
}

void Note(const std::string& text) {
    std::fprintf(stderr, "KVPrintMonitor: %s\n", text.c_str());
}

// The one line an unattended run leaves for the agent's log.
void Outcome(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int KVPrintMonitorApp::Run() {
    CatchQuitSignals();
    // Unattended, nobody looks: no window, and message boxes are lines.
    sw::ui::StartUserInterface(KVPrintMonitorDlg::msc_sCaption, m_bUnattended);
    KVSpoolerPrinter printer(Note);
    const std::unique_ptr<KVProgressView> viewOwner = CreateProgressView();
    KVProgressView& view = *viewOwner;
    KVPrintMonitorWnd wnd(printer, view);

    std::string error;
    if (wnd.OnCreate(&error) != 0) {
        const std::wstring text = L"The print monitor cannot follow jobs of \"" +
                                  std::wstring(KVPrintMonitorWnd::msc_sPrinterName) + L"\": " +
                                  sw::base::FromUtf8OrCp1252(error);
        if (m_bUnattended) {
            Outcome("not converted: " + sw::base::ToUtf8(text));
        }
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        return 1;
    }
    view.Show(wnd.GetProgress());

    while (!wnd.GetProgress().IsFinished()) {
        if (g_quit) {
            wnd.OnQuit();
            break;
        }
        view.Pump(wnd.GetReader().Descriptor(), kPumpMs);
        wnd.DispatchWaitingMessages();
    }
    // Messages that still came with the end; then the pipe is free for the
    // next job's monitor.
    wnd.DispatchWaitingMessages();
    wnd.GetReader().Stop();

    const KVJobProgress& progress = wnd.GetProgress();
    int status = 0;
    if (progress.IsCancelled()) {
        if (m_bUnattended) {
            Outcome(progress.WasAborted() ? "not converted: the printer could not convert the job"
                                          : "not converted: the monitor was stopped before the job ended");
        }
        status = progress.WasAborted() ? 1 : 0;
    } else if (progress.GetDocumentName().empty()) {
        if (m_bUnattended) {
            Outcome("not converted: " + sw::base::ToUtf8(msc_sNoOutput));
        }
        AfxMessageBox(msc_sNoOutput);
        status = 1;
    } else if (m_bUnattended) {
        const kvmonitor::KVUnattendedOutcome outcome = kvmonitor::ConvertUnattended(
            progress.GetDocumentName(), progress.GetGroupFileName(), kvmonitor::FindParser());
        Outcome(outcome.line);
        status = outcome.converted ? 0 : 1;
    } else {
        std::wstring reason;
        if (!kvmonitor::StartParser(progress.GetDocumentName(), progress.GetGroupFileName(), &reason)) {
            AfxMessageBox(L"The converter could not be started: " + reason + L"\nThe job's files are kept: " +
                              progress.GetGroupFileName(),
                          MB_OK | MB_ICONSTOP);
            status = 1;
        }
    }
    view.Destroy();
    return status;
}
