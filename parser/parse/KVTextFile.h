// Reading 8-bit text files the way the printer side writes them.
//
// Lines are read "in text mode" as on Windows: a line ends at "\n", and a
// "\r" just before that "\n" is not part of the line (a lone "\r" is). The
// bytes become wide text in the process locale's narrow encoding; a byte that
// is not valid there is taken as Windows-1252, so no input byte is ever lost.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// How narrow bytes become wide characters.
enum class enTextDecoding {
    enTextUtf8,    // UTF-8, invalid bytes as Windows-1252
    enTextLocale,  // the locale's multibyte encoding, invalid bytes as Windows-1252
};

// The decoding of the current LC_CTYPE. The plain "C" locale counts as UTF-8:
// a program that never chose a locale should still read today's files alike.
enTextDecoding KVCurrentTextDecoding();

// Appends the wide form of `bytes` to `out`.
void KVDecodeText(std::string_view bytes, enTextDecoding decoding, std::wstring& out);
std::wstring KVDecodeText(std::string_view bytes);

// A wide path in the narrow form the file system takes.
std::string KVEncodePath(std::wstring_view path);

// True when `c` is white space in the sense of the C library's isspace.
inline bool KVIsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// `text` without white space at either end.
std::wstring_view KVTrim(std::wstring_view text);

// Whole-text equality ignoring letter case (ASCII and Latin-1 always, other
// scripts as far as the locale knows them).
bool KVEqualsNoCase(std::wstring_view a, std::wstring_view b);

// Reads a text file line by line.
class KVTextFileReader {
public:
    enum class enRead { enLine, enEnd, enError };

    KVTextFileReader();
    ~KVTextFileReader();
    KVTextFileReader(const KVTextFileReader&) = delete;
    KVTextFileReader& operator=(const KVTextFileReader&) = delete;

    // False when the file cannot be opened for reading (missing, not
    // permitted, a folder).
    bool Open(const std::wstring& path);
    // The next line without its terminator; enEnd after the last one, enError
    // when the system reports a read error (the line is then not given).
    enRead ReadLine(std::wstring& line);
    void Close();
    // The system's error number of the read that failed (0 before any).
    int GetErrorNumber() const { return m_nErrorNumber; }

private:
    bool Fill();

    std::FILE* m_pFile = nullptr;
    std::unique_ptr<char[]> m_buffer;  // filled by reads, never cleared first
    std::size_t m_nCapacity = 0;
    std::size_t m_nPos = 0;
    std::size_t m_nEnd = 0;
    std::string m_pending;  // a line that spans two buffer fills
    bool m_bEof = false;
    bool m_bError = false;
    bool m_bFirstLine = true;
    int m_nErrorNumber = 0;
    enTextDecoding m_decoding = enTextDecoding::enTextUtf8;
};
