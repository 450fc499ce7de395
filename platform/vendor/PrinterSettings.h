// The driver's settings of one printer, and the printer's current page
// values as the print monitor reads them.
//
// Settings live in the queue's settings file (VendorPaths.h) as "Key=Value"
// lines; "#" starts a comment. A missing file or key means the default.
// The installer keeps the driver's numbered parameters there too, as
// "ParameterNNN=value".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace sw::vendor {

class PrinterSettings {
public:
    // The settings of a queue; `error` (when given) tells of a file that
    // exists but cannot be read. Defaults stand for whatever is missing.
    static PrinterSettings Load(const std::string& queue, std::string* error = nullptr);

    // Writes the file atomically (mode 0644); false with a reason otherwise.
    bool Save(std::string* error) const;

    const std::string& Queue() const { return queue_; }
    std::string Get(const std::string& key, const std::string& fallback = {}) const;
    long GetNumber(const std::string& key, long fallback, long low, long high) const;
    void Set(const std::string& key, const std::string& value);
    std::string GetParameter(int number) const { return Get("Parameter" + std::to_string(number)); }
    void SetParameter(int number, const std::string& value) {
        Set("Parameter" + std::to_string(number), value);
    }

    // The name of the pipe the driver posts job messages to (default: the queue).
    std::wstring PipeName() const;
    // Device units per inch of the printer text file's positions (default 100).
    long Resolution() const { return GetNumber("Resolution", 100, 1, 10000); }
    // Root of the per-user job folders (default /var/spool/sheetwise).
    std::string SpoolFolder() const { return Get("SpoolFolder", "/var/spool/sheetwise"); }
    // Bounds on reading one job's PDF.
    long PageSeconds() const { return GetNumber("PageSeconds", 30, 1, 3600); }
    long OpenSeconds() const { return GetNumber("OpenSeconds", 120, 1, 3600); }
    long MemoryLimitMB() const { return GetNumber("MemoryLimitMB", 1024, 64, 1 << 20); }
    long MaxJobMB() const { return GetNumber("MaxJobMB", 2048, 1, 1 << 20); }
    // How long the driver waits for a listener on the pipe before a job's
    // first message (default 0: messages go only to a monitor already listening).
    long ListenerWaitMs() const { return GetNumber("ListenerWaitMs", 0, 0, 600000); }
    // How long the driver waits for the owner's session agent to have a
    // listener on the pipe once the agent has taken the job (AgentLink.h).
    long AgentWaitMs() const { return GetNumber("AgentWaitMs", 15000, 0, 600000); }

private:
    std::string queue_;
    std::map<std::string, std::string> values_;
};

// The page values the monitor shows as "Printing F of F+N-1 pages": F is
// the page being printed, N the pages from it to the job's end, so a job of
// n pages reads F=1, N=n when it starts and F=k, N=n-k+1 at page k.
struct PageValues {
    std::uint32_t n = 0;
    std::uint32_t f = 0;
};

// Kept per user and printer in the user's runtime folder, written by the
// driver as the job goes on.
bool WritePageValues(uid_t uid, const std::string& queue, PageValues values, std::string* error);
PageValues ReadPageValues(uid_t uid, const std::string& queue);

// The driver's settings structure: a DEVMODE of 220 bytes with the driver's
// private part behind it, 2628 bytes in all. Texts are UTF-16LE.
inline constexpr std::size_t kDevModeSize = 2628;
inline constexpr std::size_t kDevModePublicSize = 220;
inline constexpr std::size_t kDevModePipeNameOffset = 1852;  // 260 units
inline constexpr std::size_t kDevModeNOffset = 2620;
inline constexpr std::size_t kDevModeFOffset = 2624;

// The printer's default settings: device name, size fields, resolution and
// the pipe name; N and F are 0.
std::vector<std::uint8_t> DefaultDevMode(const std::wstring& printerName);

// The printer's current settings for the calling user: the defaults with
// the page values of the user's job on that printer. False when the buffer
// is null or smaller than kDevModeSize.
bool GetPrinterCurrentSettings(const std::wstring& printerName, int reserved, void* buffer, std::size_t size);

// Reading the structure back.
std::wstring DevModePipeName(const std::uint8_t* devMode);
std::uint32_t DevModeValue(const std::uint8_t* devMode, std::size_t offset);

}  // namespace sw::vendor
