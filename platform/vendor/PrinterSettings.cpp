#include "platform/vendor/PrinterSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/base/TextCodec.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/vendor/VendorPaths.h"

namespace sw::vendor {

namespace {

constexpr std::size_t kMaxSettingsBytes = 256 * 1024;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Writes a whole file under a temporary name, then renames it into place.
bool WriteAtomically(const std::string& path, const std::string& content, mode_t mode, std::string* error) {
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        *error = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = "cannot write " + temp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    ::fchmod(fd, mode);
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        *error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string PageValuesFile(uid_t uid, const std::string& queue) {
    return RuntimeFolder(uid) + "/" + queue + ".pages";
}

void PutUnits(std::uint8_t* at, const std::wstring& text, std::size_t units) {
    const std::u16string wide = [&] {
        std::u16string out;
        for (wchar_t wc : text) {
            auto c = static_cast<std::uint32_t>(wc);
            if (c > 0xFFFF) {
                c = 0xFFFD;
            }
            out += static_cast<char16_t>(c);
        }
        return out;
    }();
    for (std::size_t i = 0; i + 1 < units && i < wide.size(); ++i) {
        at[2 * i] = static_cast<std::uint8_t>(wide[i] & 0xFF);
        at[2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> 8);
    }
}

void PutValue(std::uint8_t* at, std::uint32_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

PrinterSettings PrinterSettings::Load(const std::string& queue, std::string* error) {
    PrinterSettings settings;
    settings.queue_ = queue;
    const std::string path = SettingsFile(queue);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno != ENOENT && error != nullptr) {
            *error = "cannot read " + path + ": " + std::strerror(errno);
        }
        return settings;
    }
    std::string line;
    std::size_t total = 0;
    while (std::getline(in, line) && total < kMaxSettingsBytes) {
        total += line.size() + 1;
        const std::string text = Trim(line);
        const auto eq = text.find('=');
        if (text.empty() || text[0] == '#' || eq == std::string::npos) {
            continue;
        }
        settings.values_[Trim(text.substr(0, eq))] = Trim(text.substr(eq + 1));
    }
    return settings;
}

bool PrinterSettings::Save(std::string* error) const {
    std::string content = "# Settings of the virtual printer queue " + queue_ + "\n";
    for (const auto& [key, value] : values_) {
        content.append(key).append("=").append(value).append("\n");
    }
    ::mkdir(SettingsFolder().c_str(), 0755);
    return WriteAtomically(SettingsFile(queue_), content, 0644, error);
}

std::string PrinterSettings::Get(const std::string& key, const std::string& fallback) const {
    const auto it = values_.find(key);
    return (it == values_.end() || it->second.empty()) ? fallback : it->second;
}

long PrinterSettings::GetNumber(const std::string& key, long fallback, long low, long high) const {
    const std::string text = Get(key);
    if (text.empty()) {
        return fallback;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < low || value > high) {
        return fallback;
    }
    return value;
}

void PrinterSettings::Set(const std::string& key, const std::string& value) {
    std::string clean = value;
    for (char& c : clean) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    values_[key] = clean;
}

std::wstring PrinterSettings::PipeName() const {
    return sw::base::FromUtf8OrCp1252(Get("PipeName", queue_));
}

bool WritePageValues(uid_t uid, const std::string& queue, PageValues values, std::string* error) {
    return WriteAtomically(PageValuesFile(uid, queue),
                           std::to_string(values.n) + " " + std::to_string(values.f) + "\n", 0600, error);
}

PageValues ReadPageValues(uid_t uid, const std::string& queue) {
    PageValues values;
    std::ifstream in(PageValuesFile(uid, queue));
    unsigned long n = 0;
    unsigned long f = 0;
    if (in >> n >> f && n <= 0xFFFFFFFFUL && f <= 0xFFFFFFFFUL) {
        values.n = static_cast<std::uint32_t>(n);
        values.f = static_cast<std::uint32_t>(f);
    }
    return values;
}

std::vector<std::uint8_t> DefaultDevMode(const std::wstring& printerName) {
    const std::string queue = sw::spooler::QueueOfPrinterName(printerName);
    const PrinterSettings settings = PrinterSettings::Load(queue);
    std::vector<std::uint8_t> dm(kDevModeSize, 0);
    PutUnits(dm.data(), printerName, 32);                            // dmDeviceName
    PutValue(dm.data() + 64, 0x0401, 2);                             // dmSpecVersion
    PutValue(dm.data() + 66, 1, 2);                                  // dmDriverVersion
    PutValue(dm.data() + 68, kDevModePublicSize, 2);                 // dmSize
    PutValue(dm.data() + 70, kDevModeSize - kDevModePublicSize, 2);  // dmDriverExtra
    PutValue(dm.data() + 72, 0x00000400 | 0x00002000, 4);            // dmFields: print quality, y resolution
    PutValue(dm.data() + 90, static_cast<std::uint32_t>(settings.Resolution()), 2);  // dmPrintQuality
    PutValue(dm.data() + 96, static_cast<std::uint32_t>(settings.Resolution()), 2);  // dmYResolution
    PutUnits(dm.data() + kDevModePipeNameOffset, settings.PipeName(), 260);
    return dm;
}

bool GetPrinterCurrentSettings(const std::wstring& printerName, int /*reserved*/, void* buffer,
                               std::size_t size) {
    if (buffer == nullptr || size < kDevModeSize) {
        return false;
    }
    const std::vector<std::uint8_t> dm = DefaultDevMode(printerName);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::memcpy(out, dm.data(), dm.size());
    const PageValues values = ReadPageValues(::getuid(), sw::spooler::QueueOfPrinterName(printerName));
    PutValue(out + kDevModeNOffset, values.n, 4);
    PutValue(out + kDevModeFOffset, values.f, 4);
    return true;
}

std::wstring DevModePipeName(const std::uint8_t* devMode) {
    std::wstring name;
    for (std::size_t i = 0; i < 259; ++i) {
        const auto c = static_cast<wchar_t>(devMode[kDevModePipeNameOffset + 2 * i] |
                                            (devMode[kDevModePipeNameOffset + 2 * i + 1] << 8));
        if (c == 0) {
            break;
        }
        name += c;
    }
    return name;
}

std::uint32_t DevModeValue(const std::uint8_t* devMode, std::size_t offset) {
    return static_cast<std::uint32_t>(devMode[offset]) |
           (static_cast<std::uint32_t>(devMode[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(devMode[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(devMode[offset + 3]) << 24);
}

}  // namespace sw::vendor
