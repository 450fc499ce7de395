// Text from printed reports reaches the run time's conversions unfiltered:
// every conversion of arbitrary text must end in a result or an error code,
// and a text that converts to a number or date must convert back and forth.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/automation/Automation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes as Latin-1 characters: every input is some text.
    std::wstring text(data, data + size);
    VARIANT src;
    VariantInit(&src);
    src.vt = VT_BSTR;
    src.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    static const VARTYPE kTargets[] = {VT_I2,   VT_I4,   VT_R4,  VT_R8, VT_CY,
                                       VT_DATE, VT_BOOL, VT_UI1, VT_I8, VT_ERROR};
    for (VARTYPE vt : kTargets) {
        VARIANT out;
        VariantInit(&out);
        const HRESULT hr = VariantChangeType(&out, &src, 0, vt);
        if (SUCCEEDED(hr)) {
            if (out.vt != vt) {
                std::abort();
            }
            // Numbers and dates must print and read back.
            VARIANT back;
            VariantInit(&back);
            if (FAILED(VariantChangeType(&back, &out, 0, VT_BSTR)) || back.vt != VT_BSTR) {
                std::abort();
            }
            if (vt == VT_I4) {
                VARIANT again;
                VariantInit(&again);
                if (FAILED(VariantChangeType(&again, &back, 0, VT_I4)) || again.lVal != out.lVal) {
                    std::abort();
                }
            }
            VariantClear(&back);
        } else if (out.vt != VT_EMPTY) {
            std::abort();
        }
        VariantClear(&out);
    }
    VariantClear(&src);
    return 0;
}
