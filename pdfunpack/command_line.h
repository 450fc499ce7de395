// The PdfUnpack program: argument pairs, checks, extraction and the messages
// and exit status its caller sees.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace sw::pdfunpack {

struct ArgumentPairs {
    std::string input;
    std::string output;
};

// Whole-text comparison ignoring ASCII letter case: "-I" equals "-i", "-in" does not.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// (args[0], args[1]) and (args[2], args[3]); "-i" names the input, "-o" the
// output, any other pair is ignored and a later pair wins. Needs four args.
ArgumentPairs ReadArgumentPairs(const std::vector<std::string>& args);

// Wide message text as the console shows it.
std::string Narrow(std::wstring_view text);

// The whole program. `args` excludes the program name. Messages go to `out`;
// diagnostics (reasons, warnings) go to `err`. Returns 0 or -1.
int RunPdfUnpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace sw::pdfunpack
