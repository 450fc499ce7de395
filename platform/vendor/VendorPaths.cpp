#include "platform/vendor/VendorPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/base/TextCodec.h"

namespace sw::vendor {

namespace {

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? value : fallback;
}

bool MakePrivateFolder(const std::string& path, uid_t uid, std::string* error) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) {
        *error = path + " is not a folder of user " + std::to_string(uid);
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        *error = "cannot make " + path + " private: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string SettingsFolder() {
    return FromEnvironment("SHEETWISE_PRINTER_DIR", "/etc/sheetwise/printers");
}

std::string SettingsFile(const std::string& queue) {
    return SettingsFolder() + "/" + queue + ".conf";
}

std::string SessionRoot(uid_t uid) {
    return FromEnvironment("SHEETWISE_RUNTIME_ROOT", "/run/user") + "/" + std::to_string(uid);
}

std::string RuntimeFolder(uid_t uid) {
    return SessionRoot(uid) + "/sheetwise";
}

std::string PipePath(uid_t uid, const std::wstring& pipeName) {
    std::wstring name = pipeName;
    const std::wstring prefix = L"\\\\.\\pipe\\";
    if (name.rfind(prefix, 0) == 0) {
        name.erase(0, prefix.size());
    }
    for (wchar_t& c : name) {
        if (c == L'/' || c == L'\\' || c < 0x20) {
            c = L'_';
        }
    }
    if (name.empty() || name == L"." || name == L"..") {
        name = L"_" + name;
    }
    return RuntimeFolder(uid) + "/" + sw::base::ToUtf8(name);
}

bool EnsureRuntimeFolder(uid_t uid, std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    const std::string root = SessionRoot(uid);
    if (std::getenv("SHEETWISE_RUNTIME_ROOT") != nullptr) {
        if (!MakePrivateFolder(root, uid, &why)) {
            return false;
        }
    } else if (::access(root.c_str(), F_OK) != 0) {
        why = "user " + std::to_string(uid) + " has no session (" + root + " is missing)";
        return false;
    }
    return MakePrivateFolder(RuntimeFolder(uid), uid, &why);
}

}  // namespace sw::vendor
