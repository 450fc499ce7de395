#include "driver/backend/JobFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace sw::driver {

namespace {

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0 || errno != ENOENT;
}

// Creates a new private file; a name already there (or a link) fails.
bool CreateNew(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

bool WriteJobFiles(const std::string& folder, const GroupFileFields& fields,
                   const std::function<bool(std::ostream&)>& writeText, JobFilePaths& paths,
                   std::string* error) {
    std::string base;
    for (int n = 1; n < 1000; ++n) {
        base = folder + "/job" + std::to_string(fields.jobId) + (n > 1 ? "-" + std::to_string(n) : "");
        if (!Exists(base + ".grp") && !Exists(base + ".txt")) {
            break;
        }
    }
    paths.textFile = base + ".txt";
    paths.groupFile = base + ".grp";
    // Hidden temporary names: the converter's clean-up of "jobN.*" never meets them.
    const std::string textTemp = folder + "/.job" + std::to_string(fields.jobId) + ".txt.part";
    const std::string groupTemp = folder + "/.job" + std::to_string(fields.jobId) + ".grp.part";
    ::unlink(textTemp.c_str());
    ::unlink(groupTemp.c_str());
    auto fail = [&](const std::string& why) {
        *error = why;
        ::unlink(textTemp.c_str());
        ::unlink(groupTemp.c_str());
        return false;
    };
    if (!CreateNew(textTemp, error) || !CreateNew(groupTemp, error)) {
        return fail(*error);
    }
    {
        std::ofstream text(textTemp, std::ios::binary | std::ios::trunc);
        if (!writeText(text) || !text.flush()) {
            return fail("cannot write " + paths.textFile + ": " + std::strerror(errno));
        }
    }
    {
        std::ofstream group(groupTemp, std::ios::binary | std::ios::trunc);
        group << "[Job]\n"
              << "JobID=" << fields.jobId << "\n"
              << "Printer=" << OneLine(fields.printer) << "\n"
              << "Document=" << OneLine(fields.document) << "\n"
              << "User=" << OneLine(fields.user) << "\n"
              << "Pages=" << fields.pages << "\n"
              << "TextFileName=" << paths.textFile << "\n";
        if (!group.flush()) {
            return fail("cannot write " + paths.groupFile + ": " + std::strerror(errno));
        }
    }
    if (::rename(textTemp.c_str(), paths.textFile.c_str()) != 0) {
        return fail("cannot place " + paths.textFile + ": " + std::strerror(errno));
    }
    if (::rename(groupTemp.c_str(), paths.groupFile.c_str()) != 0) {
        const std::string why = "cannot place " + paths.groupFile + ": " + std::strerror(errno);
        ::unlink(paths.textFile.c_str());
        return fail(why);
    }
    return true;
}

}  // namespace sw::driver
