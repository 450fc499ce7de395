// The files of one print job: the group file that names the printer text
// file, the text file that goes with a PDF, and their removal after the job.
#pragma once

#include <string>
#include <vector>

namespace kvjob {

inline constexpr size_t msc_nMaxErrorText = 1023;
// Longest line kept when reading job files; the rest of a longer line is skipped.
inline constexpr size_t msc_nMaxLineBytes = 64 * 1024;

enum class GroupFileResult {
    Found,        // textFile holds the rest of the first "TextFileName=" line
    NoEntry,      // read, but no such line, or the first one names nothing
    CannotOpen,   // error holds "Could not find GRP file.  Error: ..."
    ReadFailure,  // error holds "GRP file not found."
};

// Reads a group file for its first line that begins with "TextFileName="
// (any letter case).
GroupFileResult ReadGroupFile(const std::wstring& groupFile, std::wstring& textFile, std::wstring& error);

// The text file beside a group file when the group file names none: the job
// file name with its last three characters replaced by "TXT". The printer
// side may have written the extension in either case; the one that exists
// wins. Empty when there is none.
std::wstring FindSiblingTextFile(const std::wstring& jobFile);

// The text file the extractor writes for a PDF job: the file name with every
// ".pdf" (any case) replaced by ".TXT"; the folder is kept as it is. A name
// without ".pdf" gets ".TXT" added, so the text is never the PDF itself.
std::wstring PdfTextFilePath(const std::wstring& pdfFile);

// A relative path as seen from the current folder, made absolute, so that
// every step of a job (finding the sibling text file, reading, deleting)
// sees the same files however the job was named.
std::wstring AbsolutePath(const std::wstring& path);

// True when both paths name one existing file (through links or other
// spellings of the path).
bool IsSameFile(const std::wstring& a, const std::wstring& b);

// True when the name is longer than 4 characters and ends in "pdf" in any
// letter case.
bool IsPdfTextFile(const std::wstring& textFile);

// Reads at most `maxLines` lines of a text file (line ends "\n" or "\r\n").
// Read errors end the reading; what was read is returned.
std::vector<std::wstring> ReadFirstLines(const std::wstring& path, size_t maxLines);

}  // namespace kvjob

// Deletes the files of the job whose printer text file is `textFile`: every
// file in its folder named like it with any extension. The workbook at
// `keepFile` is never deleted, even when it was saved there under the job's
// name. Returns the paths deleted.
std::vector<std::wstring> DeleteJobFiles(const std::wstring& textFile, const std::wstring& keepFile);
