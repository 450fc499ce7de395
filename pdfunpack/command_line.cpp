#include "pdfunpack/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <filesystem>
#include <memory>

#include "pdfunpack/extractor.h"
#include "pdfunpack/mapped_file.h"

namespace sw::pdfunpack {

namespace {

const wchar_t* const kInvalidParameters = L"Invalid parameters.";
const wchar_t* const kInputNotValid = L"Input file name not valid.\n";
const wchar_t* const kInputNotFound = L"Input file not found.\n";
const wchar_t* const kOutputNotValid = L"Output file name not valid.\n";
const wchar_t* const kArgumentException = L"Exception caught!  Fatal Error!\n";
const wchar_t* const kNotExtracted = L"File not extracted successfully.";

constexpr const char* kProgram = "PdfUnpack";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void Say(std::ostream& out, std::wstring_view text) {
    out << Narrow(text);
    out.flush();
}

// Extract stage. False, with the reason on `err`, when the text file could
// not be written completely.
bool Extract(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err) {
    // Truncating the output first would destroy an input given twice.
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        err << kProgram << ": input and output are the same file: " << output << "\n";
        return false;
    }
    FilePtr outFile(std::fopen(output.c_str(), "wb"));
    if (!outFile) {
        err << kProgram << ": cannot open output file " << output << ": " << std::strerror(errno) << "\n";
        return false;
    }
    MappedFile in;
    if (!in.Open(input)) {
        err << kProgram << ": cannot open input file " << input << ": " << in.error() << "\n";
        return false;
    }

    Extractor extractor;
    const ExtractStatus status = extractor.Run(in.bytes(), [&](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), outFile.get()) == text.size();
    });
    for (const Warning& w : extractor.warnings()) {
        err << kProgram << ": warning: " << input << ": " << w.ToString() << "\n";
    }
    if (extractor.droppedWarnings() > 0) {
        err << kProgram << ": warning: " << input << ": " << extractor.droppedWarnings()
            << " more warnings not shown\n";
    }
    if (extractor.streamsFound() == 0) {
        err << kProgram << ": warning: " << input << ": no content streams found\n";
    }

    bool ok = true;
    if (status == ExtractStatus::LimitReached) {
        const Warning& at = extractor.limitWarning();
        std::wstring message =
            L"Inflated data exceeds the limit of " + std::to_wstring(kDefaultInflateLimit >> 20) + L" MB at ";
        if (at.object >= 0) {
            message += L"object " + std::to_wstring(at.object) + L" @ ";
        }
        message += L"byte " + std::to_wstring(at.offset) + L"; the text before it was written.\n";
        Say(out, message);
        ok = false;
    }
    const bool flushed = std::fflush(outFile.get()) == 0;
    const int closeError = std::fclose(outFile.release());
    if (status == ExtractStatus::WriteFailed || !flushed || closeError != 0) {
        err << kProgram << ": cannot write output file " << output << ": " << std::strerror(errno) << "\n";
        ok = false;
    }
    return ok;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 4) {
        Say(out, kInvalidParameters);
        return -1;
    }
    ArgumentPairs paths;
    try {
        paths = ReadArgumentPairs(args);
    } catch (const std::exception&) {
        Say(out, kArgumentException);
        return -1;
    }
    bool valid = true;
    if (paths.input.empty()) {
        Say(out, kInputNotValid);
        valid = false;
    } else {
        std::error_code ec;
        if (!std::filesystem::exists(paths.input, ec)) {
            Say(out, kInputNotFound);
            valid = false;
        }
    }
    if (paths.output.empty()) {
        Say(out, kOutputNotValid);
        valid = false;
    }
    if (!valid || !Extract(paths.input, paths.output, out, err)) {
        return -1;
    }
    out << "File " << paths.input << " successfully extracted to " << paths.output << ".\n";
    out.flush();
    return 0;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

ArgumentPairs ReadArgumentPairs(const std::vector<std::string>& args) {
    ArgumentPairs pairs;
    for (std::size_t i = 0; i + 1 < args.size() && i < 4; i += 2) {
        if (EqualsIgnoringCase(args[i], "-i")) {
            pairs.input = args[i + 1];
        } else if (EqualsIgnoringCase(args[i], "-o")) {
            pairs.output = args[i + 1];
        }
    }
    return pairs;
}

std::string Narrow(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (const wchar_t c : text) {
        if (c >= 0 && c < 0x80) {
            narrow.push_back(static_cast<char>(c));
            continue;
        }
        const std::size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<std::size_t>(-1)) {
            narrow.push_back('?');
            state = std::mbstate_t{};
        } else {
            narrow.append(buffer, n);
        }
    }
    return narrow;
}

int RunPdfUnpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int status = -1;
    try {
        status = Run(args, out, err);
    } catch (const std::exception& e) {
        err << kProgram << ": " << e.what() << "\n";
        status = -1;
    }
    if (status != 0) {
        Say(out, kNotExtracted);
    }
    return status;
}

}  // namespace sw::pdfunpack
