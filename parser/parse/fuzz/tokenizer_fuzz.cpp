// Feeds arbitrary bytes through the decoder and the run tokenizer and checks
// what every reader of the grid relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/parse/KVTextFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find(L'\n');
        std::wstring_view line = text.substr(0, nl);
        if (nl != std::wstring_view::npos && !line.empty() && line.back() == L'\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        if (nl == std::wstring_view::npos) {
            break;
        }
        text.remove_prefix(nl + 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text;
    KVDecodeText(bytes, enTextDecoding::enTextUtf8, text);
    Check(text.size() <= bytes.size());
    std::wstring viaLocale;
    KVDecodeText(bytes, enTextDecoding::enTextLocale, viaLocale);

    const std::vector<std::wstring> lines = SplitLines(text);
    KVExcelFileFieldInfoParser parser;
    Check(parser.Parse(lines));

    // The same runs through the copying form of the tokenizer.
    std::size_t expectedRuns = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring line = lines[i];
        for (;;) {
            line = std::wstring(KVTrim(line));
            KVExcelFileFieldInfoToken token;
            const std::size_t before = line.size();
            if (!token.ParseLine(static_cast<int>(i), line)) {
                Check(token.m_nLineIndex == -1 && token.m_strText.empty());
                break;
            }
            Check(line.size() < before);
            Check(line.empty() || line.rfind(L"[[", 0) == 0);
            ++expectedRuns;
        }
        KVExcelFileFieldInfoToken header;
        header.ParseHeader(0, lines[i]);
        static_cast<void>(KVReadHeaderNumber(lines[i], 0));
    }

    std::size_t runs = 0;
    const auto& keys = parser.GetKeyList();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        Check(k == 0 || keys[k - 1] < keys[k]);
        const auto* tokens = parser.GetTokenArray(keys[k]);
        Check(tokens != nullptr && !tokens->empty());
        int lastLine = -1;
        for (const auto& token : *tokens) {
            Check(token.m_nColumnKey == keys[k]);
            Check(token.m_nLineIndex >= lastLine && token.m_nLineIndex < static_cast<int>(lines.size()));
            lastLine = token.m_nLineIndex;
            Check(KVTrim(token.m_strText).size() == token.m_strText.size());
            ++runs;
        }
        Check(parser.ContainsText(tokens->front().m_strText));
    }
    Check(runs == expectedRuns);
    return 0;
}
