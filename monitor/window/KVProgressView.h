// What shows the monitor's state to the user: the progress window on a
// desktop, status lines on standard error without one.
#pragma once

#include <memory>

#include "monitor/progress/KVJobProgress.h"

class KVPrintMonitorWnd;

class KVProgressView {
public:
    virtual ~KVProgressView() = default;
    // The window's handling that the user's actions (Cancel, closing, the
    // capture commands) go to.
    virtual void Attach(KVPrintMonitorWnd& /*wnd*/) {}
    // Shows the window with the model's state.
    virtual void Show(const KVJobProgress& progress) = 0;
    // After every change of the model.
    virtual void Update(const KVJobProgress& progress) = 0;
    // Lets the user act (Cancel, closing) for at most `timeoutMs`; the
    // view's handlers call the model. Without windows it only waits on
    // `descriptor` (readable, or -1) for that long.
    virtual void Pump(int descriptor, int timeoutMs) = 0;
    virtual void Destroy() = 0;
};

// The progress window when the program shows windows (the choice
// StartUserInterface made at start-up); status lines on standard error
// otherwise.
std::unique_ptr<KVProgressView> CreateProgressView();
