// SheetwiseParser: converts one print job into a workbook.
#include "parser/app/KorvaneFileParserApp.h"
#include "platform/calc/engine/CalcApplication.h"
#include "platform/shell/Shell.h"
#include "platform/ui/UserInterface.h"

#if defined(__SANITIZE_ADDRESS__)
// fontconfig, which the spreadsheet engine uses to measure text, keeps a few
// allocations for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(sw::shell::FromNarrow(argv[i]));
    }
    // The program is wired together here: the spreadsheet application it
    // automates is registered under its program identifier, by which alone
    // the rest of the parser reaches it.
    calc::RegisterExcelApplication();
    KorvaneFileParserApp app;
    app.SetArguments(std::move(args));
    app.InitInstance();
    const int status = app.GetExitCode();
    sw::ui::EndUserInterface();
    return status;
}
