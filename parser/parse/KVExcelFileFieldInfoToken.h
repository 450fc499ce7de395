// One text run of a printer text file: its bracketed header and its text.
//
// A run reads [[N1,N2,N3,N4][N5][style][name]]text. N1 is the run's column
// key; N2..N5 and the name are kept for whoever wants them. The numbers are
// 32 bits wide, as the printer driver writes them; larger values saturate.
#pragma once

#include <string>
#include <string_view>

class KVExcelFileFieldInfoToken {
public:
    KVExcelFileFieldInfoToken();
    virtual ~KVExcelFileFieldInfoToken();
    KVExcelFileFieldInfoToken(const KVExcelFileFieldInfoToken&) = default;
    KVExcelFileFieldInfoToken(KVExcelFileFieldInfoToken&&) noexcept = default;
    KVExcelFileFieldInfoToken& operator=(const KVExcelFileFieldInfoToken&) = default;
    KVExcelFileFieldInfoToken& operator=(KVExcelFileFieldInfoToken&&) noexcept = default;

    // Every field back to its empty value.
    void Reset();

    // Takes the first run off `line` and fills this token from it. The line
    // keeps what follows, from the next "[[" on, or becomes empty. False when
    // the line holds no complete run; the token is then empty.
    bool ParseLine(int nLineIndex, std::wstring& strLine);
    // The same on a view of the line, for readers that avoid copying it.
    bool ParseLine(int nLineIndex, std::wstring_view& line);

    // Fills the numbers, style flags, name and line index from a run that
    // begins with its header. On failure the token is reset.
    bool ParseHeader(int nLineIndex, std::wstring_view run);

    int m_nLineIndex;
    int m_nColumnKey;  // N1
    int m_nN3;
    int m_nN2;
    int m_nN4;
    bool m_bBold;
    bool m_bUnderline;
    bool m_bItalic;
    int m_nN5;
    std::wstring m_strName;
    std::wstring m_strText;
};

// atol as the printer text needs it: blanks skipped, an optional sign, the
// digits up to the first other character, looking at no more than 19
// characters from `pos`; saturates at the limits of 32 bits.
int KVReadHeaderNumber(std::wstring_view text, std::size_t pos);
