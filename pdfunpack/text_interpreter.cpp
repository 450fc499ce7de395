#include "pdfunpack/text_interpreter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace sw::pdfunpack {

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;
constexpr std::size_t kMaxToken = 64;
constexpr std::size_t kMaxOperands = 16;
// Estimated advance of a character in units of the font size, by class: the
// averages of the common proportional faces. Only gaps of more than a whole
// em between runs count, so the estimate may be rough.
double CharWidth(char c) {
    if (c >= 'A' && c <= 'Z') {
        return 0.69;
    }
    if (c >= 'a' && c <= 'z') {
        return 0.5;
    }
    if (c >= '0' && c <= '9') {
        return 0.53;
    }
    if (c == ' ') {
        return 0.27;
    }
    const auto u = static_cast<unsigned char>(c);
    return (u > 0x20 && u < 0x7F) ? 0.33 : 0.5;
}

constexpr double kGlyphWidth = 0.5;

bool IsLineSpace(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

bool IsWhite(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A PDF number: optional sign, digits with at most one point.
bool ParseNumber(std::string_view text, double& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    int points = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == '.') {
            ++points;
        } else if (c >= '0' && c <= '9') {
            digits = true;
        } else {
            return false;
        }
    }
    if (!digits || points > 1) {
        return false;
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

}  // namespace

TextInterpreter::TextInterpreter(Writer writer, InterpreterOptions options, bool atLineStart)
    : writer_(std::move(writer)), options_(options), lastWritten_(atLineStart ? '\n' : ' ') {
    window_.fill(' ');
}

float TextInterpreter::NumberEndingAt(const std::array<char, 15>& window, int p) {
    int i = p;
    while (i >= 0 && window[static_cast<std::size_t>(i)] == ' ') {
        --i;
    }
    while (i >= 0 &&
           ((window[static_cast<std::size_t>(i)] >= '0' && window[static_cast<std::size_t>(i)] <= '9') ||
            window[static_cast<std::size_t>(i)] == '.')) {
        --i;
    }
    // What follows the stopping point is digits and points, then blanks.
    const char* begin = window.data() + (i + 1);
    const char* end = begin;
    const char* last = window.data() + p + 1;
    while (end < last && *end != ' ') {
        ++end;
    }
    if (begin == end) {
        return -1.0F;
    }
    float value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr == begin) {
        return -1.0F;
    }
    return value;
}

void TextInterpreter::Feed(std::string_view bytes) {
    Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void TextInterpreter::Feed(std::span<const std::uint8_t> bytes) {
    const char* data = reinterpret_cast<const char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Outside a text block only BT matters, recognised two bytes after its
        // "B": with no "B" among the two bytes before or the bytes ahead, those
        // bytes only pass through the window.
        if (inText_ || window_[13] == 'B' || window_[14] == 'B') {
            Step(data[i++]);
            continue;
        }
        const void* b = std::memchr(data + i, 'B', n - i);
        const std::size_t next =
            b != nullptr ? static_cast<std::size_t>(static_cast<const char*>(b) - data) : n;
        if (next == i) {
            Step(data[i++]);
            continue;
        }
        ShiftIn(data + i, next - i);
        i = next;
    }
}

void TextInterpreter::ShiftIn(const char* bytes, std::size_t count) {
    const std::size_t width = window_.size();
    if (count >= width) {
        std::memcpy(window_.data(), bytes + (count - width), width);
    } else {
        std::memmove(window_.data(), window_.data() + count, width - count);
        std::memcpy(window_.data() + (width - count), bytes, count);
    }
}

void TextInterpreter::Finish() {
    mark_ = std::string::npos;
    if (!out_.empty()) {
        lastWritten_ = out_.back();
        writer_(out_);
        out_.clear();
    }
}

void TextInterpreter::Write(char c) {
    out_.push_back(c);
    if (out_.size() >= kFlushAt) {
        FlushIfLarge();
    }
}

void TextInterpreter::Write(std::string_view s) {
    out_.append(s);
    if (out_.size() >= kFlushAt) {
        FlushIfLarge();
    }
}

void TextInterpreter::FlushIfLarge() {
    std::size_t upto = mark_ == std::string::npos ? out_.size() : mark_;
    if (out_.size() - upto > options_.maxHeldBytes) {
        // Give up the chance to put a line end in front of an absurdly long string.
        mark_ = std::string::npos;
        upto = out_.size();
    }
    if (upto == 0) {
        return;
    }
    lastWritten_ = out_[upto - 1];
    writer_(std::string_view(out_).substr(0, upto));
    out_.erase(0, upto);
    if (mark_ != std::string::npos) {
        mark_ -= upto;
    }
}

void TextInterpreter::Step(char ch) {
    auto endsWith = [this](char first, char second) {
        return IsLineSpace(window_[11]) && window_[12] == first && window_[13] == second &&
               IsLineSpace(window_[14]);
    };

    bool blockEnded = false;
    if (inText_ && !inString_) {
        if (options_.layoutOperators) {
            TrackByte(ch);
        }
        if (endsWith('T', 'D')) {
            const float n = NumberEndingAt(window_, 10);
            if (n > 1.0F) {
                Write("\r\n");
            } else if (n < 1.0F) {
                Write('\t');
            }
        }
        if (endsWith('E', 'T')) {
            inText_ = false;
            Write("\r\n");
            blockEnded = true;
        }
    }

    if (inText_ && !blockEnded) {
        bool content = false;
        if (ch == '(') {
            if (inString_) {
                content = true;
            } else if (!escape_) {
                if (options_.layoutOperators) {
                    if (mark_ == std::string::npos) {
                        mark_ = out_.size();
                    }
                    stringSeen_ = true;
                    inHex_ = false;
                    prevInString_ = '\0';
                }
                const float n = NumberEndingAt(window_, 14);
                if (n > 1000.0F) {
                    Write('\t');
                } else if (n > 100.0F) {
                    Write(' ');
                }
                inString_ = true;
            }
        } else if (ch == ')') {
            if (inString_) {
                if (escape_) {
                    content = true;
                } else {
                    inString_ = false;
                }
            }
        } else if (inString_) {
            content = true;
        }
        if (content) {
            if (ch == '\\' && !escape_) {
                escape_ = true;
            } else {
                escape_ = false;
                ++shownChars_;
                shownWidth_ += CharWidth(ch);
                if (ch == ' ') {
                    ++shownSpaces_;
                }
                const auto u = static_cast<unsigned char>(ch);
                if (u >= 0x20 && u <= 0x7E) {
                    if (layoutSeen_) {
                        SpaceWithinString();
                    }
                    Write(ch);
                    prevInString_ = ch;
                } else {
                    prevInString_ = '\0';
                }
            }
        }
    }

    std::memmove(window_.data(), window_.data() + 1, window_.size() - 1);
    window_[14] = ch;
    if (!inText_ && endsWith('B', 'T')) {
        inText_ = true;
        if (options_.layoutOperators) {
            EnterTextBlock();
        }
    }
}

// ---- layout tracker ---------------------------------------------------------

void TextInterpreter::EnterTextBlock() {
    token_.clear();
    tokenIsName_ = false;
    inHex_ = false;
    inArray_ = false;
    operands_.clear();
    mark_ = std::string::npos;
    ma_ = 1;
    mb_ = 0;
    mc_ = 0;
    md_ = 1;
    me_ = 0;
    mf_ = 0;
    textX_ = 0;
    shownChars_ = shownSpaces_ = 0;
    shownWidth_ = 0;
    arrayAdjust_ = 0;
    stringSeen_ = false;
    haveShown_ = false;
    movedSinceShown_ = false;
}

void TextInterpreter::TrackByte(char ch) {
    if (inHex_) {
        if (ch == '<' && hexDigits_ == 0 && lastWasLt_) {
            // "<<" opens a dictionary, not a string.
            inHex_ = false;
            lastWasLt_ = false;
            return;
        }
        lastWasLt_ = false;
        if (ch == '>') {
            inHex_ = false;
            shownChars_ += (hexDigits_ + 1) / 2;
            shownWidth_ += kGlyphWidth * static_cast<double>((hexDigits_ + 1) / 2);
        } else if (IsHexDigit(ch)) {
            ++hexDigits_;
        }
        return;
    }
    if (IsWhite(ch) || IsDelimiter(ch)) {
        EndToken();
        switch (ch) {
            case '[':
                inArray_ = true;
                arrayAdjust_ = 0;
                break;
            case ']':
                inArray_ = false;
                break;
            case '<':
                inHex_ = true;
                hexDigits_ = 0;
                lastWasLt_ = true;
                break;
            case '/':
                tokenIsName_ = true;
                break;
            default:
                break;
        }
        return;
    }
    if (token_.size() < kMaxToken) {
        token_.push_back(ch);
    }
}

void TextInterpreter::EndToken() {
    if (token_.empty() && !tokenIsName_) {
        return;
    }
    if (operands_.size() >= kMaxOperands) {
        operands_.erase(operands_.begin());
    }
    double value = 0;
    if (tokenIsName_) {
        operands_.push_back(std::numeric_limits<double>::quiet_NaN());
    } else if (ParseNumber(token_, value)) {
        operands_.push_back(value);
        if (inArray_) {
            arrayAdjust_ += value;
        }
    } else {
        Operator(token_);
    }
    token_.clear();
    tokenIsName_ = false;
}

double TextInterpreter::Operand(std::size_t fromTop) const {
    if (fromTop >= operands_.size()) {
        return 0;
    }
    const double v = operands_[operands_.size() - 1 - fromTop];
    return std::isfinite(v) ? v : 0;
}

void TextInterpreter::MoveLineOrigin(double tx, double ty) {
    me_ += tx * ma_ + ty * mc_;
    mf_ += tx * mb_ + ty * md_;
    textX_ = me_;
}

void TextInterpreter::Operator(std::string_view op) {
    if (op == "Tf") {
        fontSize_ = std::fabs(Operand(0));
    } else if (op == "TL") {
        leading_ = Operand(0);
    } else if (op == "Tc") {
        charSpacing_ = Operand(0);
    } else if (op == "Tw") {
        wordSpacing_ = Operand(0);
    } else if (op == "Tz") {
        hScale_ = Operand(0) / 100.0;
    } else if (op == "TD") {
        // The window rules write the separator; only the position is followed.
        leading_ = -Operand(0);
        MoveLineOrigin(Operand(1), Operand(0));
        movedSinceShown_ = false;
    } else if (op == "Td") {
        MoveLineOrigin(Operand(1), Operand(0));
        movedSinceShown_ = true;
        layoutSeen_ = true;
    } else if (op == "Tm") {
        ma_ = Operand(5);
        mb_ = Operand(4);
        mc_ = Operand(3);
        md_ = Operand(2);
        me_ = Operand(1);
        mf_ = Operand(0);
        textX_ = me_;
        movedSinceShown_ = true;
        layoutSeen_ = true;
    } else if (op == "T*") {
        MoveLineOrigin(0, -leading_);
        movedSinceShown_ = true;
        layoutSeen_ = true;
    } else if (op == "'") {
        MoveLineOrigin(0, -leading_);
        movedSinceShown_ = true;
        layoutSeen_ = true;
        Show();
    } else if (op == "\"") {
        wordSpacing_ = Operand(1);
        charSpacing_ = Operand(0);
        MoveLineOrigin(0, -leading_);
        movedSinceShown_ = true;
        layoutSeen_ = true;
        Show();
    } else if (op == "Tj" || op == "TJ") {
        Show();
    }
    operands_.clear();
    mark_ = std::string::npos;
    stringSeen_ = false;
    shownChars_ = shownSpaces_ = 0;
    shownWidth_ = 0;
    arrayAdjust_ = 0;
    if (mark_ == std::string::npos && out_.size() >= kFlushAt) {
        FlushIfLarge();
    }
}

void TextInterpreter::SpaceWithinString() {
    // Spacing added to every glyph (Tc) or every blank (Tw) can open gaps
    // inside one string; PostScript converted to PDF spaces columns this way.
    if (prevInString_ == '\0' || fontSize_ <= 0) {
        return;
    }
    const bool afterBlank = prevInString_ == ' ';
    const double extra = (charSpacing_ + (afterBlank ? wordSpacing_ : 0.0)) * std::fabs(hScale_) / fontSize_;
    if (afterBlank) {
        if (out_.empty() || out_.back() != ' ') {
            return;
        }
        if (extra > 1.0) {
            out_.back() = '\t';
        } else if (extra < -0.2) {
            // Narrowed to almost nothing: a positioning trick, not a word space.
            out_.pop_back();
        }
    } else if (extra > 1.0) {
        Write('\t');
    } else if (extra > 0.2) {
        Write(' ');
    }
}

bool TextInterpreter::AtLineStartBefore(std::size_t pos) const {
    return pos > 0 ? out_[pos - 1] == '\n' : lastWritten_ == '\n';
}

void TextInterpreter::InsertAtMark(std::string_view text) {
    if (mark_ == std::string::npos || mark_ > out_.size() || AtLineStartBefore(mark_)) {
        return;
    }
    out_.insert(mark_, text);
}

void TextInterpreter::Show() {
    const double emY = fontSize_ * std::hypot(mc_, md_);
    const double emX = fontSize_ * std::hypot(ma_, mb_) * std::fabs(hScale_);
    if (stringSeen_ && movedSinceShown_ && haveShown_) {
        const double dy = mf_ - shownY_;
        const double lineTolerance = emY > 0 ? emY * 0.5 : 1.0;
        if (std::fabs(dy) > lineTolerance) {
            InsertAtMark("\r\n");
        } else if ((textX_ - shownEndX_) / (emX > 0 ? emX : 1.0) > 1.0) {
            // Smaller moves are kerning or word spacing inside one run.
            InsertAtMark("\t");
        }
    }
    movedSinceShown_ = false;
    haveShown_ = true;
    shownY_ = mf_;
    const double advance = shownWidth_ * fontSize_ + static_cast<double>(shownChars_) * charSpacing_ +
                           static_cast<double>(shownSpaces_) * wordSpacing_ -
                           arrayAdjust_ / 1000.0 * fontSize_;
    textX_ += advance * hScale_ * ma_;
    shownEndX_ = textX_;
}

std::string InterpretStream(std::string_view stream, InterpreterOptions options) {
    std::string out;
    TextInterpreter interpreter([&out](std::string_view s) { out.append(s); }, options);
    interpreter.Feed(stream);
    interpreter.Finish();
    return out;
}

}  // namespace sw::pdfunpack
