// PdfUnpack -i input.pdf -o output.txt: the text of a PDF's content streams
// as tab-separated lines for the parser's plain mode.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "pdfunpack/command_line.h"

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return sw::pdfunpack::RunPdfUnpack(args, std::cout, std::cerr);
}
