// Number format codes: parsed once into sections of tokens (FormatCode.h),
// then rendered per value.
#include "platform/calc/format/NumberFormat.h"

#include <cmath>
#include <string>

#include "platform/calc/format/FormatCode.h"

namespace calc::format {
namespace {

FormatClass ClassifySection(const Section& s) {
    if (s.hasDate && s.hasTime) {
        return FormatClass::DateTime;
    }
    if (s.hasDate) {
        return FormatClass::Date;
    }
    if (s.hasTime) {
        return FormatClass::Time;
    }
    if (s.hasText) {
        return FormatClass::Text;
    }
    if (s.hasGeneral) {
        return FormatClass::General;
    }
    if (s.percent > 0) {
        return FormatClass::Percent;
    }
    if (s.currency) {
        return FormatClass::Currency;
    }
    if (s.nInt + s.nFrac + s.nNum > 0) {
        return FormatClass::Number;
    }
    return FormatClass::Other;
}

}  // namespace

FormatClass Classify(const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    if (p.general) {
        return FormatClass::General;
    }
    return ClassifySection(p.sections.front());
}

bool IsDateTimeFormat(const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    for (int i : p.numSections) {
        if (p.sections[i].isDate) {
            return true;
        }
    }
    return false;
}

namespace {

void FormatParsed(double value, const Parsed& p, std::wstring& out) {
    out.clear();
    if (p.general || p.numSections.empty()) {
        out += GeneralNumber(value);
        return;
    }
    if (std::isnan(value) || std::isinf(value)) {
        out += L"#NUM!";
        return;
    }
    const auto& ns = p.numSections;
    const Section* sec = &p.sections[ns[0]];
    bool autoMinus = false;
    if (ns.size() == 1) {
        autoMinus = value < 0;
    } else if (value < 0) {
        sec = &p.sections[ns[1]];
    } else if (value == 0 && ns.size() >= 3) {
        sec = &p.sections[ns[2]];
    }
    if (sec->empty()) {
        return;
    }
    if (sec->isDate) {
        out += autoMinus ? std::wstring(L"########") : RenderDate(*sec, std::fabs(value));
        return;
    }
    if (autoMinus) {
        out += L'-';
    }
    if (sec->hasGeneral && sec->toks.size() == 1) {
        out += GeneralNumber(std::fabs(value));
        return;
    }
    double a = std::fabs(value);
    if (sec->simple) {
        for (int k = 0; k < sec->percent; ++k) {
            a *= 100;
        }
        for (int k = 0; k < sec->scale; ++k) {
            a /= 1000;
        }
        RenderSimple(*sec, a, out);
        return;
    }
    bool anyNonZero = false;
    out += RenderNumber(*sec, a, anyNonZero);
}

}  // namespace

std::wstring FormatValue(double value, const std::wstring& formatCode) {
    std::wstring out;
    FormatParsed(value, Lookup(formatCode), out);
    return out;
}

ValueFormatter::ValueFormatter(const std::wstring& formatCode) : parsed_(LookupShared(formatCode)) {}

void ValueFormatter::format(double value, std::wstring& out) const {
    FormatParsed(value, *parsed_, out);
}

std::wstring FormatText(const std::wstring& text, const std::wstring& formatCode) {
    const Parsed& p = Lookup(formatCode);
    if (p.general || p.textSection < 0) {
        return text;
    }
    return RenderText(p.sections[p.textSection], text);
}

}  // namespace calc::format
