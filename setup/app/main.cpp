// SheetwiseSetup: installs or removes the virtual printer.
//
//   SheetwiseSetup -install -WINNT [-Silent] -INSTALLDIR FOLDER
//   SheetwiseSetup -uninstall
//   SheetwiseSetup -?            the switches
//
// Exits 0 on success and 1 when the install or uninstall failed, so package
// scripts can tell. With a display its windows show; without one it writes
// to the terminal.
#include <clocale>
#include <string>
#include <vector>

#include "platform/shell/Shell.h"
#include "platform/ui/UserInterface.h"
#include "setup/app/KVPrintDriverInstallerApp.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(sw::shell::FromNarrow(argv[i]));
    }
    int status = 1;
    {
        KVPrintDriverInstallerApp app;
        status = app.InitInstance(args);
    }
    sw::ui::EndUserInterface();
    return status;
}
