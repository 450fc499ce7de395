// KVPrintMonitor: follows one job on the virtual printer "Sheetwise Print
// Driver" and starts the converter when it has ended.
//
//   KVPrintMonitor [-unattended]
#include <cstdio>
#include <cwctype>
#include <string>

#include "monitor/app/KVPrintMonitorApp.h"

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
    KVPrintMonitorApp app(unattended);
    return app.Run();
}
