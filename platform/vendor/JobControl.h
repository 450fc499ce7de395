// Job control of the driver: a spooler job command applied to one job of a
// printer (5 deletes it), through the spooler layer.
#pragma once

#include <cstdint>
#include <string>

namespace sw::vendor {

inline constexpr std::uint32_t kJobControlDelete = 5;

// True when the scheduler carried out the command; otherwise `error` (when
// given) holds its reason.
bool ControlPrinterJob(const std::wstring& printerName, std::uint32_t jobId, std::uint32_t command,
                       std::string* error = nullptr);

}  // namespace sw::vendor
