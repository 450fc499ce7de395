#include "driver/backend/JobOwner.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace sw::driver {

bool FindOwner(const std::string& user, JobOwner& owner, std::string* error) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (user.empty() || user.find('/') != std::string::npos || user == "." || user == ".." ||
        ::getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        *error = "the job's user \"" + user + "\" has no account on this computer";
        return false;
    }
    owner.name = found->pw_name;
    owner.uid = found->pw_uid;
    owner.gid = found->pw_gid;
    return true;
}

bool EnsureJobFolder(const std::string& spool, const JobOwner& owner, std::string* folder,
                     std::string* error) {
    const bool root = ::geteuid() == 0;
    if (::mkdir(spool.c_str(), 0755) != 0 && errno != EEXIST) {
        *error = "cannot create the job folder root " + spool + ": " + std::strerror(errno);
        return false;
    }
    *folder = spool + "/" + owner.name;
    if (::mkdir(folder->c_str(), 0700) == 0) {
        if (root && ::chown(folder->c_str(), owner.uid, owner.gid) != 0) {
            *error = "cannot give " + *folder + " to " + owner.name + ": " + std::strerror(errno);
            ::rmdir(folder->c_str());
            return false;
        }
    } else if (errno != EEXIST) {
        *error = "cannot create the job folder " + *folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != owner.uid) {
        *error = *folder + " is not a folder of " + owner.name + "; job files are never written elsewhere";
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder->c_str(), 0700) != 0) {
        *error = "cannot make " + *folder + " private: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool BecomeOwner(const JobOwner& owner, std::string* error) {
    if (::geteuid() != 0) {
        if (::geteuid() == owner.uid) {
            return true;
        }
        *error = "the backend must run as root to write the files of " + owner.name +
                 " (install it owned by root with mode 0700)";
        return false;
    }
    if (::initgroups(owner.name.c_str(), owner.gid) != 0 || ::setgid(owner.gid) != 0 ||
        ::setuid(owner.uid) != 0) {
        *error = "cannot act as " + owner.name + ": " + std::strerror(errno);
        return false;
    }
    // A switch that could be undone would leave the job's reader as root.
    if (owner.uid != 0 && ::setuid(0) == 0) {
        *error = "cannot drop root for " + owner.name;
        return false;
    }
    return true;
}

}  // namespace sw::driver
