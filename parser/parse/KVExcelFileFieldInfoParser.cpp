#include "parser/parse/KVExcelFileFieldInfoParser.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "parser/parse/KVTextFile.h"

KVExcelFileFieldInfoParser::KVExcelFileFieldInfoParser() = default;

KVExcelFileFieldInfoParser::~KVExcelFileFieldInfoParser() {
    Clear();
}

void KVExcelFileFieldInfoParser::Clear() {
    m_keys.clear();
    m_tokens.clear();
}

const KVExcelFileFieldInfoParser::TokenArray* KVExcelFileFieldInfoParser::GetTokenArray(int nKey) const {
    const auto it = m_tokens.find(nKey);
    return it == m_tokens.end() ? nullptr : &it->second;
}

void KVExcelFileFieldInfoParser::AddLine(int nLineIndex, std::wstring_view line) {
    KVExcelFileFieldInfoToken token;
    TokenizeLine(nLineIndex, line, token, [this](KVExcelFileFieldInfoToken& run) {
        auto [it, inserted] = m_tokens.try_emplace(run.m_nColumnKey);
        if (inserted) {
            m_keys.push_back(run.m_nColumnKey);
        }
        it->second.push_back(std::move(run));
    });
}

void KVExcelFileFieldInfoParser::SortKeys() {
    std::sort(m_keys.begin(), m_keys.end());
}

bool KVExcelFileFieldInfoParser::Parse(const std::vector<std::wstring>& lines) {
    Clear();
    const std::size_t count = std::min<std::size_t>(lines.size(), INT_MAX);
    for (std::size_t i = 0; i < count; ++i) {
        AddLine(static_cast<int>(i), lines[i]);
    }
    SortKeys();
    return true;
}

bool KVExcelFileFieldInfoParser::ReadFile(const std::wstring& strPath) {
    // Runs of an earlier file must not survive a file that cannot be read.
    Clear();
    KVTextFileReader reader;
    if (!reader.Open(strPath)) {
        return true;
    }
    bool ok = true;
    try {
        std::wstring line;
        int index = 0;
        for (;;) {
            const auto status = reader.ReadLine(line);
            if (status == KVTextFileReader::enRead::enEnd) {
                break;
            }
            if (status == KVTextFileReader::enRead::enError || index == INT_MAX) {
                ok = false;
                break;
            }
            // Lines are tokenized as they arrive rather than kept: the result
            // is the same and a large report never sits in memory twice.
            AddLine(index++, line);
        }
    } catch (const std::exception&) {
        ok = false;
    }
    SortKeys();
    return ok;
}

bool KVExcelFileFieldInfoParser::ContainsText(std::wstring_view strText) const {
    for (const int key : m_keys) {
        for (const auto& token : m_tokens.at(key)) {
            if (KVEqualsNoCase(token.m_strText, strText)) {
                return true;
            }
        }
    }
    return false;
}
