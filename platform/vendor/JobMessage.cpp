#include "platform/vendor/JobMessage.h"

#include <vector>

namespace sw::vendor {

namespace {

void PutText(char16_t (&field)[kRecordTextUnits], const std::wstring& text) {
    std::size_t at = 0;
    for (wchar_t wc : text) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        const std::size_t width = c > 0xFFFF ? 2 : 1;
        if (at + width > kRecordTextUnits - 1) {
            break;
        }
        if (width == 2) {
            c -= 0x10000;
            field[at++] = static_cast<char16_t>(0xD800 + (c >> 10));
            field[at++] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            field[at++] = static_cast<char16_t>(c);
        }
    }
    field[at] = 0;
}

}  // namespace

JobMessageRecord MakeJobMessage(std::uint32_t type, const std::wstring& documentName,
                                const std::wstring& groupFileName, const std::wstring& printerName) {
    JobMessageRecord record;
    record.type = type;
    PutText(record.documentName, documentName);
    PutText(record.groupFileName, groupFileName);
    PutText(record.printerName, printerName);
    return record;
}

std::wstring RecordText(const char16_t (&field)[kRecordTextUnits]) {
    std::wstring text;
    for (std::size_t i = 0; i < kRecordTextUnits && field[i] != 0; ++i) {
        const char16_t c = field[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < kRecordTextUnits && field[i + 1] >= 0xDC00 &&
            field[i + 1] <= 0xDFFF) {
            text += static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (field[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            text += L'\xFFFD';
        } else {
            text += static_cast<wchar_t>(c);
        }
    }
    return text;
}

std::array<std::uint8_t, kJobMessageSize> EncodeJobMessage(const JobMessageRecord& record) {
    std::array<std::uint8_t, kJobMessageSize> bytes{};
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(record.type >> (8 * i));
    }
    const char16_t* fields[] = {record.documentName, record.groupFileName, record.printerName};
    std::size_t at = 4;
    for (const char16_t* field : fields) {
        for (std::size_t i = 0; i < kRecordTextUnits; ++i) {
            bytes[at++] = static_cast<std::uint8_t>(field[i] & 0xFF);
            bytes[at++] = static_cast<std::uint8_t>(field[i] >> 8);
        }
    }
    return bytes;
}

JobMessageRecord DecodeJobMessage(const std::uint8_t* bytes) {
    JobMessageRecord record;
    record.type = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                  (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    char16_t* fields[] = {record.documentName, record.groupFileName, record.printerName};
    std::size_t at = 4;
    for (char16_t* field : fields) {
        for (std::size_t i = 0; i < kRecordTextUnits; ++i, at += 2) {
            field[i] = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
        }
        field[kRecordTextUnits - 1] = 0;  // a record from outside may lack its terminator
    }
    return record;
}

}  // namespace sw::vendor
