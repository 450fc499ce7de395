#include "platform/shell/FileCalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/shell/Shell.h"

namespace sw::shell {
namespace {

constexpr const char* kBootListName = "sheetwise-delete-at-boot.conf";

bool Fail(std::wstring* error, const std::string& text) {
    if (error != nullptr) {
        *error = FromNarrow(text);
    }
    return false;
}

std::string Reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// A path as one field of a tmpfiles.d line: blanks and backslashes escaped.
std::string TmpfilesField(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '\t' || c == '\\' || c == '"' || c == '\'') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string BootListFolder() {
    const char* folder = std::getenv("SHEETWISE_TMPFILES_DIR");
    if (folder != nullptr && *folder != '\0') {
        return folder;
    }
    // Without systemd-tmpfiles nothing would read the list at boot.
    if (::access("/usr/bin/systemd-tmpfiles", X_OK) != 0 && ::access("/bin/systemd-tmpfiles", X_OK) != 0) {
        return {};
    }
    return "/etc/tmpfiles.d";
}

}  // namespace

bool CopyFile(const std::wstring& from, const std::wstring& to, std::wstring* error) {
    const std::string source = ToNarrow(from);
    const std::string target = ToNarrow(to);
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return Fail(error, Reason("cannot read", source));
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return Fail(error, source + " is not a file");
    }
    const std::string temp = target + ".part." + std::to_string(::getpid());
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        const std::string reason = Reason("cannot write", target);
        ::close(in);
        return Fail(error, reason);
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) {
            break;
        }
    }
    const std::string reason = ok ? std::string() : Reason("cannot copy to", target);
    ::close(in);
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0;
    ok = ::close(out) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        const std::string text = reason.empty() ? Reason("cannot replace", target) : reason;
        ::unlink(temp.c_str());
        return Fail(error, text);
    }
    return true;
}

bool CreateDirectory(const std::wstring& path, std::wstring* error) {
    const std::string folder = ToNarrow(path);
    if (::mkdir(folder.c_str(), 0755) == 0) {
        return true;
    }
    struct stat st {};
    if (errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return true;
    }
    return Fail(error, Reason("cannot create the folder", folder));
}

bool DeleteFileAtNextStart(const std::wstring& path, std::wstring* error) {
    const std::string folder = BootListFolder();
    if (folder.empty()) {
        return Fail(error,
                    "nothing deletes files at the next start here (systemd-tmpfiles is not installed)");
    }
    const std::string list = folder + "/" + kBootListName;
    // Keep the entries already listed; the line that removes the list itself
    // stays last, so it is read after every file it names.
    std::vector<std::string> lines;
    {
        std::ifstream in(list);
        std::string line;
        const std::string self = "r " + TmpfilesField(list);
        while (std::getline(in, line)) {
            if (!line.empty() && line != self && line[0] != '#') {
                lines.push_back(line);
            }
        }
    }
    const std::string entry = "r " + TmpfilesField(ToNarrow(path));
    bool listed = false;
    for (const std::string& line : lines) {
        listed = listed || line == entry;
    }
    if (!listed) {
        lines.push_back(entry);
    }
    std::ostringstream content;
    content << "# Files Sheetwise could not remove; deleted at the next start, then this list.\n";
    for (const std::string& line : lines) {
        content << line << "\n";
    }
    content << "r " << TmpfilesField(list) << "\n";
    const std::string temp = list + ".part." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << content.str();
        if (!out.flush()) {
            ::unlink(temp.c_str());
            return Fail(error, Reason("cannot write", list));
        }
    }
    ::chmod(temp.c_str(), 0644);
    if (::rename(temp.c_str(), list.c_str()) != 0) {
        ::unlink(temp.c_str());
        return Fail(error, Reason("cannot write", list));
    }
    return true;
}

std::wstring WindowsFolder() {
    return L"/etc/";
}

std::wstring SystemFolder() {
    return L"/usr/lib/";
}

OsVersion GetOsVersion() {
    return {kPlatformNt, 10, 0};
}

}  // namespace sw::shell
