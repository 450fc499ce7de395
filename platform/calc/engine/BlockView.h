// A block of values as an automation array holds them, borrowed for one put.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"
#include "platform/calc/engine/CellVariant.h"

namespace calc {

// Elements lie column after column, `rows` to a column, `elementBytes`
// apart, all of type `vt` (VT_VARIANT, or a scalar type ElementView reads).
// The array keeps owning them.
struct BlockView {
    VARTYPE vt = VT_EMPTY;
    const char* data = nullptr;
    size_t elementBytes = 0;
    int64_t rows = 0;
    int64_t cols = 0;
    // The pages of a VT_VARIANT block that nothing wrote: their elements are
    // empty and are not read, which would bring the pages into memory.
    sw::automation::UntouchedPages untouched;

    // A borrowed variant of element (i, j).
    void element(int64_t i, int64_t j, VARIANT& out) const {
        ElementView(vt, data + static_cast<size_t>(i + j * rows) * elementBytes, out);
    }
};

}  // namespace calc
