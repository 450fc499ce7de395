// KVPrintMonitor's run: create the progress window (capture on the printer's
// pipe), wait for the followed job's end, then start the converter on it,
// or tell that no job was seen. One run serves one job.
//
// Started with -unattended (by the session agent, on a machine without a
// desktop), the monitor converts the job itself in batch mode instead of
// handing it to the converter's windows, waits for the result and writes
// one line about it on standard output (KVUnattendedJob.h).
#pragma once

class KVPrintMonitorApp {
public:
    static constexpr const wchar_t* msc_sNoOutput =
        L"Error: Could not get resulting output from print driver!";

    explicit KVPrintMonitorApp(bool bUnattended) : m_bUnattended(bUnattended) {}
    // The exit status: 0 when the job went to the converter (or was
    // converted), or the user cancelled; 1 otherwise.
    int Run();

private:
    bool m_bUnattended;
};
