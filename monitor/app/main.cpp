// KVPrintMonitor: follows one job on the virtual printer "Sheetwise Print
// Driver" and starts the converter when it has ended.
//
//   KVPrintMonitor [-unattended]
#include <cctype>
#include <csignal>
#include <cstdio>
#include <string>

#include "monitor/app/KVPrintMonitorApp.h"
#include "platform/ui/UserInterface.h"

namespace {

bool IsUnattendedSwitch(std::string arg) {
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) {
        return false;
    }
    for (char& c : arg) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return arg.substr(1) == "unattended";
}

}  // namespace

int main(int argc, char** argv) {
    // The monitor's output, and the converter's, which inherits this, may go
    // to a session agent that has ended: a write then fails instead of
    // ending the program in the middle of a job.
    ::signal(SIGPIPE, SIG_IGN);
    bool unattended = false;
    for (int i = 1; i < argc; ++i) {
        if (IsUnattendedSwitch(argv[i])) {
            unattended = true;
        } else {
            std::fprintf(stderr,
                         "KVPrintMonitor: \"%s\" is not a switch it knows and is ignored "
                         "(usage: KVPrintMonitor [-unattended])\n",
                         argv[i]);
        }
    }
    // The window is gone when Run returns.
    const int status = KVPrintMonitorApp(unattended).Run();
    sw::ui::EndUserInterface();
    return status;
}
