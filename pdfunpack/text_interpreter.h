// Turns an inflated page description into tab-separated text lines.
//
// The core reads the bytes through a 15-byte window, the way the extractor
// always has: text blocks between BT and ET, string operands in parentheses,
// CR LF or a tab for each TD by its vertical operand, and a tab or a blank
// before a string from the number just before it (the spacing of TJ arrays).
//
// Producers that position text with Tm, Td, T* and the quote operators would
// come out as one unbroken line under those rules alone, so a layout tracker
// follows the text position alongside and, when one of those operators moves
// the next string onto a new line or away from the text before it, adds the
// line end or tab in front of that string. In such a stream, character and
// word spacing (Tc, Tw) wide enough to open a gap inside one string adds a
// tab or blank there too. A stream without those positioning operators never
// reaches the tracker's output, so its text is exactly what the window rules
// give.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sw::pdfunpack {

struct InterpreterOptions {
    // Follow Td, Tm, T*, ' and " as well as TD.
    bool layoutOperators = true;
    // Text held back for a quote operator that may still need a line end in
    // front of it. A longer string is written as it comes.
    std::size_t maxHeldBytes = 1 << 20;
};

class TextInterpreter {
public:
    // Receives the output in order; called from Feed and Finish.
    using Writer = std::function<void(std::string_view)>;

    // `atLineStart`: whether the output so far ends with a line end (or is
    // empty), so the tracker does not open a stream with an empty line.
    explicit TextInterpreter(Writer writer, InterpreterOptions options = {}, bool atLineStart = true);

    void Feed(std::span<const std::uint8_t> bytes);
    void Feed(std::string_view bytes);
    // Hands over everything still held back.
    void Finish();

    // Reads the number that ends at window position `p` the way the window
    // rules do: blanks, then digits and dots, backwards; the magnitude, or -1.
    static float NumberEndingAt(const std::array<char, 15>& window, int p);

private:
    void Step(char ch);
    // Passes bytes through the window without interpreting them.
    void ShiftIn(const char* bytes, std::size_t count);
    void Write(char c);
    void Write(std::string_view s);
    void FlushIfLarge();

    // Layout tracker.
    void TrackByte(char ch);
    void EndToken();
    void Operator(std::string_view op);
    void Show();
    void MoveLineOrigin(double tx, double ty);
    void SpaceWithinString();
    bool AtLineStartBefore(std::size_t pos) const;
    void InsertAtMark(std::string_view text);
    void EnterTextBlock();
    double Operand(std::size_t fromTop) const;

    Writer writer_;
    InterpreterOptions options_;

    // Window rules.
    std::array<char, 15> window_;
    bool inText_ = false;
    bool inString_ = false;
    bool escape_ = false;

    // Output held until it is final.
    std::string out_;
    std::size_t mark_ = std::string::npos;  // where the current string operand's output begins
    char lastWritten_ = '\n';               // last byte handed to the writer

    // Tokens outside strings, inside a text block.
    std::string token_;
    bool tokenIsName_ = false;
    bool inHex_ = false;
    bool lastWasLt_ = false;
    bool inArray_ = false;
    std::size_t hexDigits_ = 0;
    std::vector<double> operands_;

    // Text state, in the units of the page description.
    double ma_ = 1, mb_ = 0, mc_ = 0, md_ = 1, me_ = 0, mf_ = 0;  // line matrix
    double textX_ = 0;                                            // pen after shown text
    double fontSize_ = 0, leading_ = 0, charSpacing_ = 0, wordSpacing_ = 0, hScale_ = 1;
    // Operands of the show operator to come.
    std::size_t shownChars_ = 0, shownSpaces_ = 0;
    double shownWidth_ = 0;  // estimated, in units of the font size
    double arrayAdjust_ = 0;
    bool stringSeen_ = false;
    // Last shown text.
    bool haveShown_ = false;
    double shownY_ = 0, shownEndX_ = 0;
    bool movedSinceShown_ = false;  // by an operator the window rules ignore
    bool layoutSeen_ = false;       // any such operator so far in this stream
    char prevInString_ = '\0';      // last character written from the current string
};

// Convenience: the output of one stream run through a fresh interpreter.
std::string InterpretStream(std::string_view stream, InterpreterOptions options = {});

}  // namespace sw::pdfunpack
