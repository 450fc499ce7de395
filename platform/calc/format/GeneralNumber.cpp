#include <charconv>
#include <cmath>

#include "platform/calc/format/DecimalDigits.h"
#include "platform/calc/format/FormatCode.h"

namespace calc::format {

std::wstring GeneralNumber(double v) {
    if (std::isnan(v) || std::isinf(v)) {
        return L"#NUM!";
    }
    if (v == 0) {
        return L"0";
    }
    double a = std::fabs(v);
    if (a < 1e11 && a == std::floor(a)) {
        char buf[24];
        auto res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
        return std::wstring(buf, res.ptr);
    }
    const Digits15 x = ToDigits(a);
    const int e = x.exp10;
    std::string out;
    if (e >= 11 || e <= -10) {
        out = SciGeneral(x);
    } else if (e >= -4 && e <= -1) {
        out = FixedString(x, 9);
    } else if (e == 10) {
        out = FixedString(x, 0);
    } else {
        out = FixedString(x, 12);
        if (out.size() > 11) {
            out = FixedString(x, std::max(0, 9 - e));
        }
    }
    // Too long even so (tiny values, or rounding that carried into a twelfth digit).
    if (out.size() > 11) {
        out = SciGeneral(x);
    }
    std::wstring w;
    w.reserve(out.size() + 1);
    if (v < 0) {
        w += L'-';
    }
    w.append(out.begin(), out.end());
    return w;
}

}  // namespace calc::format
