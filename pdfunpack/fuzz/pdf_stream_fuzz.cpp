// Untrusted bytes as a whole PDF file and as one inflated page description.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "pdfunpack/extractor.h"
#include "pdfunpack/text_interpreter.h"

namespace {

using sw::pdfunpack::InterpreterOptions;

void CheckOnlyText(std::string_view out) {
    for (const char c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (!((u >= 0x20 && u <= 0x7E) || c == '\t' || c == '\r' || c == '\n')) {
            std::abort();
        }
    }
}

bool HasLayoutOperator(std::string_view s) {
    return s.find("Td") != std::string_view::npos || s.find("Tm") != std::string_view::npos ||
           s.find("T*") != std::string_view::npos || s.find('\'') != std::string_view::npos ||
           s.find('"') != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    sw::pdfunpack::ExtractOptions options;
    options.maxInflatedBytes = std::size_t{4} << 20;
    sw::pdfunpack::Extractor extractor(options);
    std::string fileText;
    extractor.Run(std::span(data, size), [&fileText](std::string_view text) {
        fileText.append(text);
        return true;
    });
    CheckOnlyText(fileText);

    InterpreterOptions plain;
    plain.layoutOperators = false;
    const std::string withLayout = sw::pdfunpack::InterpretStream(bytes);
    const std::string withoutLayout = sw::pdfunpack::InterpretStream(bytes, plain);
    CheckOnlyText(withLayout);
    // The tracker only ever adds separators, and only for the operators it follows.
    if (!HasLayoutOperator(bytes) && withLayout != withoutLayout) {
        std::abort();
    }

    // Chunk boundaries must not matter.
    std::string chunked;
    sw::pdfunpack::TextInterpreter interpreter([&chunked](std::string_view s) { chunked.append(s); });
    for (std::size_t i = 0; i < size; i += 7) {
        interpreter.Feed(bytes.substr(i, 7));
    }
    interpreter.Finish();
    if (chunked != withLayout) {
        std::abort();
    }
    return 0;
}
