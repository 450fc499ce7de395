// Cuts the lines of a printer text file into runs and groups the runs by
// their column key.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "parser/parse/KVExcelFileFieldInfoToken.h"
#include "parser/parse/KVTextFile.h"

class KVExcelFileFieldInfoParser {
public:
    // The runs of one key. A deque, so a key with many runs grows without
    // moving the runs it already holds.
    using TokenArray = std::deque<KVExcelFileFieldInfoToken>;

    KVExcelFileFieldInfoParser();
    virtual ~KVExcelFileFieldInfoParser();
    KVExcelFileFieldInfoParser(const KVExcelFileFieldInfoParser&) = delete;
    KVExcelFileFieldInfoParser& operator=(const KVExcelFileFieldInfoParser&) = delete;

    // Reads every line of a text file and tokenizes it. A file that cannot be
    // opened reads as empty and gives true; a read error gives false (the
    // lines read before it are kept).
    bool ReadFile(const std::wstring& strPath);
    // Tokenizes the lines; line i has line index i. Always true.
    bool Parse(const std::vector<std::wstring>& lines);
    // True when the whole text of some run equals `strText`, ignoring case.
    bool ContainsText(std::wstring_view strText) const;
    void Clear();

    // The distinct column keys, ascending.
    const std::vector<int>& GetKeyList() const { return m_keys; }
    // The runs of one key in reading order (by line, then left to right);
    // none for a key that no run has.
    const TokenArray* GetTokenArray(int nKey) const;

    // Runs `sink(token)` for each run of one line, in order, using `scratch`
    // as the token being filled. The rules every reader of the format shares.
    template <typename Sink>
    static void TokenizeLine(int nLineIndex, std::wstring_view line, KVExcelFileFieldInfoToken& scratch,
                             Sink&& sink);

private:
    void AddLine(int nLineIndex, std::wstring_view line);
    void SortKeys();

    std::vector<int> m_keys;
    std::unordered_map<int, TokenArray> m_tokens;
};

template <typename Sink>
void KVExcelFileFieldInfoParser::TokenizeLine(int nLineIndex, std::wstring_view line,
                                              KVExcelFileFieldInfoToken& scratch, Sink&& sink) {
    while (!line.empty()) {
        line = KVTrim(line);
        scratch.Reset();
        if (!scratch.ParseLine(nLineIndex, line)) {
            return;
        }
        sink(scratch);
    }
}
