#include "parser/app/KVJobFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <memory>

#include "platform/shell/Shell.h"

namespace kvjob {
namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Reads one line without its "\n" or "\r\n". False at the end of the file
// or on a read error (`failed` tells which).
bool ReadLine(FILE* f, std::string& line, bool& failed) {
    line.clear();
    failed = false;
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        // A line longer than any path is not one the printer wrote: keep its
        // start and skip the rest rather than grow without bound.
        if (line.size() < msc_nMaxLineBytes) {
            line += static_cast<char>(c);
        }
    }
    if (c == EOF && std::ferror(f)) {
        failed = true;
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
}

wchar_t Upper(wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i])) {
            return false;
        }
    }
    return true;
}

// The description the framework gives a failed file open.
std::wstring FileErrorText(const std::wstring& path, int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return path + L" was not found.";
        case EACCES:
        case EPERM:
            return L"Access to " + path + L" was denied.";
        default:
            return L"An unexpected error occurred while accessing " + path + L": " +
                   sw::shell::FromNarrow(std::strerror(err));
    }
}

}  // namespace

GroupFileResult ReadGroupFile(const std::wstring& groupFile, std::wstring& textFile, std::wstring& error) {
    textFile.clear();
    error.clear();
    FilePtr f(std::fopen(sw::shell::ToNarrow(groupFile).c_str(), "rb"));
    if (!f) {
        error = L"Could not find GRP file.  Error: " + FileErrorText(groupFile, errno);
        if (error.size() > std::wstring(L"Could not find GRP file.  Error: ").size() + msc_nMaxErrorText) {
            error.resize(std::wstring(L"Could not find GRP file.  Error: ").size() + msc_nMaxErrorText);
        }
        return GroupFileResult::CannotOpen;
    }
    std::string line;
    bool failed = false;
    while (ReadLine(f.get(), line, failed)) {
        const std::wstring wide = sw::shell::FromNarrow(line);
        if (StartsWithNoCase(wide, L"TextFileName=")) {
            // The first such line decides; a line that names nothing names no
            // file, and the text file beside the group file is looked for.
            const std::wstring name = wide.substr(13);
            if (std::all_of(name.begin(), name.end(),
                            [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; })) {
                return GroupFileResult::NoEntry;
            }
            textFile = name;
            return GroupFileResult::Found;
        }
    }
    if (failed) {
        error = L"GRP file not found.";
        return GroupFileResult::ReadFailure;
    }
    return GroupFileResult::NoEntry;
}

std::wstring FindSiblingTextFile(const std::wstring& jobFile) {
    if (jobFile.size() < 3) {
        return {};
    }
    const std::wstring stem = jobFile.substr(0, jobFile.size() - 3);
    for (const wchar_t* ext : {L"TXT", L"txt", L"Txt"}) {
        const std::wstring candidate = stem + ext;
        struct stat st {};
        if (stat(sw::shell::ToNarrow(candidate).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            return candidate;
        }
    }
    return {};
}

std::wstring PdfTextFilePath(const std::wstring& pdfFile) {
    const size_t slash = pdfFile.rfind(L'/');
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring result = pdfFile.substr(0, nameStart);
    const std::wstring name = pdfFile.substr(nameStart);
    bool replaced = false;
    for (size_t i = 0; i < name.size();) {
        if (StartsWithNoCase(name.substr(i, 4), L".pdf")) {
            result += L".TXT";
            i += 4;
            replaced = true;
        } else {
            result += name[i++];
        }
    }
    // A name without ".pdf" would give the PDF itself: its text goes beside it.
    if (!replaced) {
        result += L".TXT";
    }
    return result;
}

std::wstring AbsolutePath(const std::wstring& path) {
    if (path.empty() || path[0] == L'/') {
        return path;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) {
        return path;
    }
    std::wstring absolute = sw::shell::FromNarrow(folder.string());
    if (absolute.empty() || absolute.back() != L'/') {
        absolute += L'/';
    }
    return absolute + path;
}

bool IsPdfTextFile(const std::wstring& textFile) {
    return textFile.size() > 4 && StartsWithNoCase(textFile.substr(textFile.size() - 3), L"pdf");
}

std::vector<std::wstring> ReadFirstLines(const std::wstring& path, size_t maxLines) {
    std::vector<std::wstring> lines;
    FilePtr f(std::fopen(sw::shell::ToNarrow(path).c_str(), "rb"));
    if (!f) {
        return lines;
    }
    std::string line;
    bool failed = false;
    while (lines.size() < maxLines && ReadLine(f.get(), line, failed)) {
        lines.push_back(sw::shell::FromNarrow(line));
    }
    return lines;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    struct stat sa {};
    struct stat sb {};
    if (a.empty() || b.empty() || stat(sw::shell::ToNarrow(a).c_str(), &sa) != 0 ||
        stat(sw::shell::ToNarrow(b).c_str(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace kvjob

std::vector<std::wstring> DeleteJobFiles(const std::wstring& textFile, const std::wstring& keepFile) {
    std::vector<std::wstring> deleted;
    const size_t slash = textFile.rfind(L'/');
    if (slash == std::wstring::npos) {
        return deleted;
    }
    const std::wstring folder = textFile.substr(0, slash + 1);
    const std::wstring name = textFile.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) {
        return deleted;
    }
    // The base name is taken literally: wildcard characters in it must not
    // widen the match to other jobs' files.
    const std::wstring base = name.substr(0, dot);
    for (const auto& found : sw::shell::FindFiles(folder + L"*.*")) {
        if (found.isDirectory || found.name.size() <= base.size() ||
            found.name.compare(0, base.size(), base) != 0 || found.name[base.size()] != L'.') {
            continue;
        }
        if (kvjob::IsSameFile(found.path, keepFile)) {
            continue;
        }
        if (sw::shell::DeleteFile(found.path)) {
            deleted.push_back(found.path);
        }
    }
    return deleted;
}
