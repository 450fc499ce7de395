// SheetwiseSetup: installs or removes the virtual printer.
//
//   SheetwiseSetup -install -WINNT [-Silent] -INSTALLDIR FOLDER
//   SheetwiseSetup -uninstall
//   SheetwiseSetup -?            the switches
//
// Exits 0 on success and 1 when the install or uninstall failed, so package
// scripts can tell.
#include <clocale>
#include <string>
#include <vector>

#include "platform/shell/Shell.h"
#include "setup/app/KVPrintDriverInstallerApp.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(sw::shell::FromNarrow(argv[i]));
    }
    KVPrintDriverInstallerApp app;
    return app.InitInstance(args);
}
