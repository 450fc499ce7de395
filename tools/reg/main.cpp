// SheetwiseReg: look at and change the stored settings from a shell, with the
// words of the Windows reg tool.
//
//   SheetwiseReg query  KEY [/v NAME | /ve]
//   SheetwiseReg add    KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]
//   SheetwiseReg delete KEY [/v NAME | /ve | /va] [/f]
//   SheetwiseReg export KEY FILE [/y]
//
// KEY begins with HKCU\ or HKLM\ (or the long root names). Text is UTF-8 on
// the command line, on output and in exported files.
#include <cstdio>
#include <vector>

#include "tools/reg/RegTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return sw::regtool::Run(args, stdout, stderr);
}
