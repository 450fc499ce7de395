#include "platform/spooler/PrinterNames.h"

#include <algorithm>
#include <cwctype>

#include "platform/base/TextCodec.h"

namespace sw::spooler {

namespace {

bool RefusedInQueueName(char32_t c) {
    return c <= 0x20 || c == 0x7F || c == '/' || c == '#' || c == '\\' || c == '?' || c == '\'' || c == '"';
}

constexpr std::size_t kRecordTextChars = 259;

}  // namespace

std::wstring PrinterNameOfQueue(const std::string& queue) {
    std::wstring name = sw::base::FromUtf8OrCp1252(queue);
    std::replace(name.begin(), name.end(), L'_', L' ');
    return name;
}

std::string QueueOfPrinterName(const std::wstring& printerName) {
    std::wstring queue = printerName;
    for (wchar_t& c : queue) {
        if (RefusedInQueueName(static_cast<char32_t>(c))) {
            c = L'_';
        }
    }
    return sw::base::ToUtf8(queue);
}

bool IsValidQueueName(const std::string& queue) {
    if (queue.empty() || queue.size() > 127) {
        return false;
    }
    return std::none_of(queue.begin(), queue.end(),
                        [](char c) { return RefusedInQueueName(static_cast<unsigned char>(c)); });
}

std::wstring DocumentNameOfJob(const std::string& jobTitle) {
    std::wstring name = sw::base::FromUtf8OrCp1252(jobTitle);
    if (name.size() >= 4) {
        std::wstring tail = name.substr(name.size() - 4);
        std::transform(tail.begin(), tail.end(), tail.begin(), [](wchar_t c) { return std::towlower(c); });
        if (tail == L".pdf") {
            name.resize(name.size() - 4);
        }
    }
    if (name.empty()) {
        name = L"untitled";
    }
    // Characters beyond the 16-bit range take two units in a record.
    std::size_t units = 0;
    std::size_t keep = 0;
    for (; keep < name.size(); ++keep) {
        const std::size_t width = static_cast<std::uint32_t>(name[keep]) > 0xFFFF ? 2 : 1;
        if (units + width > kRecordTextChars) {
            break;
        }
        units += width;
    }
    name.resize(keep);
    return name;
}

}  // namespace sw::spooler
