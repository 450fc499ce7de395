// Format codes come from profiles and typed cell formats: any text must render
// without crashing. Input: 8 bytes of a double, then the code as UTF-8-ish bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/calc/format/NumberFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    std::wstring code;
    for (size_t i = 0; i < size && i < 512; ++i) {
        code += static_cast<wchar_t>(data[i]);
    }
    (void)calc::format::Classify(code);
    (void)calc::format::IsDateTimeFormat(code);
    (void)calc::format::FormatValue(value, code);
    (void)calc::format::FormatValue(-value, code);
    (void)calc::format::FormatText(L"text", code);
    return 0;
}
