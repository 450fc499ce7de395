// The command interpreter of SheetwiseReg, apart from main() so that its
// text conversions can be tested in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace sw::regtool {

// Runs one command line (without the program name); returns the exit status.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// Command-line bytes to wide text: UTF-8, with bytes that are not valid UTF-8
// taken as Windows-1252.
std::wstring Widen(const std::string& bytes);
std::string Narrow(const std::wstring& text);

}  // namespace sw::regtool
