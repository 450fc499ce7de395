// The job message record the driver sends and the message capture delivers:
// 1564 bytes, a 32-bit type and three texts of 260 UTF-16 units each, laid
// out and little-endian as on the original platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::vendor {

inline constexpr std::uint32_t kJobStarted = 1;
inline constexpr std::uint32_t kPagePrinted = 2;
inline constexpr std::uint32_t kJobEnded = 4;
inline constexpr std::uint32_t kJobAborted = 5;

inline constexpr std::size_t kRecordTextUnits = 260;
inline constexpr std::size_t kJobMessageSize = 1564;

struct JobMessageRecord {
    std::uint32_t type = 0;
    char16_t documentName[kRecordTextUnits] = {};   // offset 4
    char16_t groupFileName[kRecordTextUnits] = {};  // offset 524
    char16_t printerName[kRecordTextUnits] = {};    // offset 1044
};
static_assert(sizeof(JobMessageRecord) == kJobMessageSize);

// A record with the texts cut to 259 units (never inside a surrogate pair)
// and terminated.
JobMessageRecord MakeJobMessage(std::uint32_t type, const std::wstring& documentName,
                                const std::wstring& groupFileName, const std::wstring& printerName);

// A record text up to its terminator.
std::wstring RecordText(const char16_t (&field)[kRecordTextUnits]);

std::array<std::uint8_t, kJobMessageSize> EncodeJobMessage(const JobMessageRecord& record);
JobMessageRecord DecodeJobMessage(const std::uint8_t* bytes);

}  // namespace sw::vendor
