#include "setup/uninstall/KVUserProfiles.h"

#include <grp.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/shell/Shell.h"

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::wstring SettingsStoreOf(const std::wstring& profilePath) {
    return profilePath + L"/.config/sheetwise/user.db";
}

std::wstring CupsOptionsOf(const std::wstring& profilePath) {
    return profilePath + L"/.cups/lpoptions";
}

std::vector<KVUserProfile> EnumerateUserProfiles() {
    std::vector<KVUserProfile> profiles;
    const char* file = std::getenv("SHEETWISE_PASSWD");
    std::FILE* in = std::fopen(file != nullptr && *file != '\0' ? file : "/etc/passwd", "re");
    if (in == nullptr) {
        return profiles;
    }
    while (const passwd* account = ::fgetpwent(in)) {
        if (account->pw_dir == nullptr || account->pw_dir[0] != '/') {
            continue;
        }
        const std::wstring home = sw::shell::FromNarrow(account->pw_dir);
        if (!IsFile(sw::shell::ToNarrow(SettingsStoreOf(home))) &&
            !IsFile(sw::shell::ToNarrow(CupsOptionsOf(home)))) {
            continue;
        }
        profiles.push_back({sw::shell::FromNarrow(account->pw_name), home, account->pw_uid, account->pw_gid});
    }
    std::fclose(in);
    return profiles;
}

bool RunAsUser(const KVUserProfile& profile, const std::function<bool()>& work) {
    if (::geteuid() == profile.uid) {
        return work();
    }
    if (::geteuid() != 0) {
        return false;  // only the user or root may touch the user's files
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        const bool switched = ::setgroups(0, nullptr) == 0 && ::setgid(profile.gid) == 0 &&
                              ::setuid(profile.uid) == 0 && ::getuid() == profile.uid;
        ::_exit(switched && work() ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RemoveQueueFromCupsOptions(const std::string& path, const std::string& queue) {
    std::ifstream in(path);
    if (!in) {
        return true;
    }
    std::ostringstream kept;
    std::string line;
    bool changed = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string name;
        words >> keyword >> name;
        name = name.substr(0, name.find('/'));
        if ((::strcasecmp(keyword.c_str(), "Dest") == 0 || ::strcasecmp(keyword.c_str(), "Default") == 0) &&
            ::strcasecmp(name.c_str(), queue.c_str()) == 0) {
            changed = true;
            continue;
        }
        kept << line << "\n";
    }
    in.close();
    if (!changed) {
        return true;
    }
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0644;
    const std::string temp = path + ".sheetwise." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << kept.str();
        if (!out.flush()) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    ::chmod(temp.c_str(), mode);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
