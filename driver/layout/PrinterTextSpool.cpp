#include "driver/layout/PrinterTextSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "driver/layout/PrinterText.h"

namespace sw::driver {

namespace {

bool PutU32(std::FILE* f, std::uint32_t v) {
    return std::fwrite(&v, sizeof v, 1, f) == 1;
}

bool GetU32(std::FILE* f, std::uint32_t& v) {
    return std::fread(&v, sizeof v, 1, f) == 1;
}

}  // namespace

PrinterTextSpool::~PrinterTextSpool() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool PrinterTextSpool::Open(const std::string& folder, std::string* error) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string pattern = folder + "/.spool-XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) {
            ::unlink(pattern.c_str());
        }
    }
    if (fd < 0 || (file_ = ::fdopen(fd, "w+b")) == nullptr) {
        *error = "cannot make a spool file in " + folder + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    return true;
}

// Per line: empty lines before it, the number of runs, then each run's
// header without its key and its text, length first.
bool PrinterTextSpool::AddPage(const PageLayout& page, double unitsPerPoint, std::string* error) {
    for (const Line& line : page.lines) {
        bool ok = PutU32(file_, static_cast<std::uint32_t>(line.blankLinesBefore)) &&
                  PutU32(file_, static_cast<std::uint32_t>(line.runs.size()));
        for (const Run& run : line.runs) {
            const std::string tail = FormatRunTail(run, unitsPerPoint);
            ok = ok && PutU32(file_, static_cast<std::uint32_t>(tail.size())) &&
                 std::fwrite(tail.data(), 1, tail.size(), file_) == tail.size();
            bytes_ += tail.size() + 4;
            boxes_.push_back(BoxOf(run, line_));
        }
        bytes_ += 8;
        ++line_;
        if (!ok) {
            *error = std::string("cannot spool the job's text: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool PrinterTextSpool::Write(std::ostream& out, const std::vector<std::int64_t>& keys, std::size_t* lines,
                             std::string* error) {
    *lines = 0;
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        *error = std::string("cannot read the spooled text: ") + std::strerror(errno);
        return false;
    }
    std::size_t next = 0;
    std::string tail;
    for (std::uint32_t l = 0; l < line_; ++l) {
        std::uint32_t blanks = 0;
        std::uint32_t count = 0;
        if (!GetU32(file_, blanks) || !GetU32(file_, count)) {
            *error = "the spooled text ended early";
            return false;
        }
        for (std::uint32_t i = 0; i < blanks; ++i) {
            out << '\n';
            ++*lines;
        }
        std::string text;
        for (std::uint32_t r = 0; r < count; ++r) {
            std::uint32_t size = 0;
            if (!GetU32(file_, size) || size > kMaxTextLineBytes + 1024 || next >= keys.size()) {
                *error = "the spooled text is damaged";
                return false;
            }
            tail.resize(size);
            if (size > 0 && std::fread(tail.data(), 1, size, file_) != size) {
                *error = "the spooled text ended early";
                return false;
            }
            const std::string piece = "[[" + std::to_string(keys[next++]) + tail;
            if (!text.empty() && text.size() + piece.size() > kMaxTextLineBytes) {
                out << text << '\n';
                ++*lines;
                text.clear();
            }
            text += piece;
        }
        out << text << '\n';
        ++*lines;
    }
    return static_cast<bool>(out);
}

}  // namespace sw::driver
