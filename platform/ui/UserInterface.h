// Starting the windowing side of a program, pumping its messages and the
// wait cursor.
#pragma once

#include <string>

#include "platform/ui/UiTypes.h"

namespace sw::ui {

// Decides, once, whether this program shows windows: a display is named
// and answers (or QT_QPA_PLATFORM names a platform that needs none, such as
// offscreen) and bBatch is false. The only display test of the system. When it does, the toolkit starts and
// message boxes become windows. Later calls change nothing. Returns the
// choice (IsInteractive()).
bool StartUserInterface(const std::wstring& appTitle, bool bBatch);

// Closes the windowing side before the program ends (its windows must be
// gone by then).
void EndUserInterface();

// Handles the messages that are waiting, without waiting for more.
void PumpWaitingMessages();

}  // namespace sw::ui

// Waits for the next message and handles it; false when the application is
// ending (or there are no windows).
BOOL AfxPumpMessage();

// The hourglass while long work runs on the user-interface thread. Nested
// uses stack; nothing happens without windows.
void AfxBeginWaitCursor();
void AfxEndWaitCursor();

class CWaitCursor {
public:
    CWaitCursor() { AfxBeginWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    ~CWaitCursor() { AfxEndWaitCursor(); }
    void Restore() {}
};
