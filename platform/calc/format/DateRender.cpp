// Date and time sections: the 1900 date system, month and day names,
// AM/PM, elapsed hours, minutes and seconds.
#include <charconv>
#include <cmath>
#include <string>

#include "platform/base/Calendar.h"
#include "platform/calc/format/FormatCode.h"

namespace calc::format {
namespace {

const wchar_t* const kMonths[] = {L"January",   L"February", L"March",    L"April",
                                  L"May",       L"June",     L"July",     L"August",
                                  L"September", L"October",  L"November", L"December"};
const wchar_t* const kDays[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                L"Thursday", L"Friday", L"Saturday"};

struct Ymd {
    int y, m, d;
};

// Serial day (1900 system, with its fictitious 29 February 1900) to a calendar date.
Ymd SerialToDate(long serial) {
    if (serial == 0) {
        return {1900, 1, 0};
    }
    if (serial == 60) {
        return {1900, 2, 29};
    }
    if (serial < 60) {
        return serial <= 31 ? Ymd{1900, 1, static_cast<int>(serial)}
                            : Ymd{1900, 2, static_cast<int>(serial - 31)};
    }
    // Past the missing day, serials count as the calendar does from 30 December 1899.
    const sw::base::CivilDate date = sw::base::CivilFromDays(serial);
    return {static_cast<int>(date.year), static_cast<int>(date.month), static_cast<int>(date.day)};
}

void AppendInt(std::wstring& out, long long v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void Pad2(std::wstring& out, long v) {
    if (v < 10) {
        out += L'0';
    }
    AppendInt(out, v);
}

}  // namespace

std::wstring RenderDate(const Section& sec, double v) {
    constexpr double kMaxSerial = 2958466.0;  // 10000-01-01
    if (v < 0 || v >= kMaxSerial || std::isnan(v)) {
        return L"########";
    }
    // Round to the smallest unit shown: whole seconds, or the fraction digits after them.
    long long unitsPerSec = 1;
    for (int k = 0; k < sec.subSecDigits; ++k) {
        unitsPerSec *= 10;
    }
    const long long unitsPerDay = 86400LL * unitsPerSec;
    double dayPart = std::floor(v);
    long long units = std::llround((v - dayPart) * static_cast<double>(unitsPerDay));
    long long day = static_cast<long long>(dayPart);
    if (units >= unitsPerDay) {
        units -= unitsPerDay;
        ++day;
    }
    long long secs = units / unitsPerSec;
    long long sub = units % unitsPerSec;
    int hour = static_cast<int>(secs / 3600);
    int minute = static_cast<int>(secs / 60 % 60);
    int second = static_cast<int>(secs % 60);
    Ymd ymd = SerialToDate(static_cast<long>(day));
    int weekday = static_cast<int>((day + 6) % 7);

    std::wstring out;
    out.reserve(32);
    for (const Token& t : sec.toks) {
        switch (t.kind) {
            case Tok::Lit:
                out += t.text;
                break;
            case Tok::Year2:
                Pad2(out, ymd.y % 100);
                break;
            case Tok::Year4:
                AppendInt(out, ymd.y);
                break;
            case Tok::Month1:
                AppendInt(out, ymd.m);
                break;
            case Tok::Month2:
                Pad2(out, ymd.m);
                break;
            case Tok::Month3:
                out.append(kMonths[ymd.m - 1], 3);
                break;
            case Tok::Month4:
                out += kMonths[ymd.m - 1];
                break;
            case Tok::Month5:
                out += kMonths[ymd.m - 1][0];
                break;
            case Tok::Day1:
                AppendInt(out, ymd.d);
                break;
            case Tok::Day2:
                Pad2(out, ymd.d);
                break;
            case Tok::Day3:
                out.append(kDays[weekday], 3);
                break;
            case Tok::Day4:
                out += kDays[weekday];
                break;
            case Tok::Hour1:
            case Tok::Hour2: {
                int h = hour;
                if (sec.hasAmPm) {
                    h = hour % 12 == 0 ? 12 : hour % 12;
                }
                if (t.kind == Tok::Hour2) {
                    Pad2(out, h);
                } else {
                    AppendInt(out, h);
                }
                break;
            }
            case Tok::Min1:
                AppendInt(out, minute);
                break;
            case Tok::Min2:
                Pad2(out, minute);
                break;
            case Tok::Sec1:
                AppendInt(out, second);
                break;
            case Tok::Sec2:
                Pad2(out, second);
                break;
            case Tok::SubSec: {
                std::wstring digits = std::to_wstring(sub);
                digits.insert(0, static_cast<size_t>(sec.subSecDigits) - digits.size(), L'0');
                out += L'.';
                out += digits.substr(0, static_cast<size_t>(t.n));
                break;
            }
            case Tok::AmPm: {
                bool pm = hour >= 12;
                if (t.text.size() == 5) {
                    // Prints the half of "AM/PM" that applies, in the case it was written.
                    out += pm ? t.text.substr(3, 2) : t.text.substr(0, 2);
                } else {
                    out += pm ? t.text[2] : t.text[0];
                }
                break;
            }
            case Tok::ElapsedH:
            case Tok::ElapsedM:
            case Tok::ElapsedS: {
                long long total = day * 86400LL + secs;
                long long val = t.kind == Tok::ElapsedH   ? total / 3600
                                : t.kind == Tok::ElapsedM ? total / 60
                                                          : total;
                std::wstring s = std::to_wstring(val);
                if (static_cast<int>(s.size()) < t.n) {
                    s.insert(0, static_cast<size_t>(t.n) - s.size(), L'0');
                }
                out += s;
                break;
            }
            default:
                break;
        }
    }
    return out;
}

}  // namespace calc::format
