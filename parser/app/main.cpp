// SheetwiseParser: converts one print job into a workbook.
#include "parser/app/KorvaneFileParserApp.h"
#include "platform/shell/Shell.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(sw::shell::FromNarrow(argv[i]));
    }
    KorvaneFileParserApp app;
    app.SetArguments(std::move(args));
    app.InitInstance();
    return app.GetExitCode();
}
