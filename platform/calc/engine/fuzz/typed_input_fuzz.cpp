// Text from print jobs reaches the typed-input conversion and the cell-name
// parser unchecked; neither may crash or read out of bounds on any input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/base/TextCodec.h"
#include "platform/calc/engine/CellAddress.h"
#include "platform/calc/engine/TypedInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text =
        sw::base::FromUtf8OrCp1252(std::string_view(reinterpret_cast<const char*>(data), size));
    calc::TypedValue v = calc::ConvertTypedInput(text, 2026);
    if (v.kind == calc::InputKind::Text && v.text.size() > text.size()) {
        __builtin_trap();
    }
    if (auto rect = calc::ParseRangeName(text)) {
        if (rect->r1 > rect->r2 || rect->c1 > rect->c2 || rect->r2 >= calc::kMaxRows ||
            rect->c2 >= calc::kMaxCols) {
            __builtin_trap();
        }
    }
    return 0;
}
