// BIFF8 records and the compound-file container of an Excel 97-2003 workbook.
// Internal to the .xls writer; tests reach the record builders through this header.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/TextIndex.h"

namespace calc::io::biff {

inline constexpr size_t kMaxRecordData = 8224;
inline constexpr int32_t kMaxRows = 65536;
inline constexpr int32_t kMaxCols = 256;
inline constexpr size_t kMaxTextLength = 32767;

namespace rec {
inline constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                          kDatemode = 0x0022, kFont = 0x0031, kFormat = 0x041E, kXf = 0x00E0, kStyle = 0x0293,
                          kBoundsheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kExtsst = 0x00FF,
                          kDefcolwidth = 0x0055, kColinfo = 0x007D, kDimensions = 0x0200, kRow = 0x0208,
                          kLabelsst = 0x00FD, kNumber = 0x0203, kRk = 0x027E, kBlank = 0x0201,
                          kBoolerr = 0x0205, kWindow2 = 0x023E, kSelection = 0x001D;
}

// Little-endian appends to a growing byte buffer.
class Bytes {
public:
    std::vector<uint8_t>& data() { return buf_; }
    const std::vector<uint8_t>& data() const { return buf_; }
    size_t size() const { return buf_.size(); }
    // Room for n more bytes at the end, to be filled by the caller: a record of
    // fixed size is then laid out with one size check rather than one per field.
    uint8_t* grow(size_t n) {
        const size_t at = buf_.size();
        buf_.resize(at + n);
        return buf_.data() + at;
    }
    void u8(uint8_t v) { buf_.push_back(v); }
    void u16(uint16_t v) { Put16(grow(2), v); }
    void u32(uint32_t v) { Put32(grow(4), v); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        uint8_t* p = grow(8);
        Put32(p, static_cast<uint32_t>(bits));
        Put32(p + 4, static_cast<uint32_t>(bits >> 32));
    }
    void raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        buf_.insert(buf_.end(), b, b + n);
    }
    // Record header with a length patched by end().
    size_t begin(uint16_t id) {
        Put32(grow(4), id);
        return buf_.size();
    }
    void end(size_t bodyStart) {
        Put16(buf_.data() + bodyStart - 2, static_cast<uint16_t>(buf_.size() - bodyStart));
    }
    void patchU32(size_t at, uint32_t v) { Put32(buf_.data() + at, v); }

    static void Put16(uint8_t* p, uint16_t v) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
    }
    static void Put32(uint8_t* p, uint32_t v) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        p[3] = static_cast<uint8_t>(v >> 24);
    }

private:
    std::vector<uint8_t> buf_;
};

// UTF-16 code units of a wide string (wchar_t is UTF-32 here).
std::u16string ToUtf16(std::wstring_view s);

// RK form of a number when it has one (integers within 30 bits, doubles whose low
// 34 bits are zero, either of them after multiplying by 100).
bool EncodeRk(double value, uint32_t* rk);

// One cell or table record each.
void WriteBof(Bytes& out, uint16_t substreamType);
void WriteFont(Bytes& out, const FontSpec& font);
void WriteFormat(Bytes& out, uint16_t index, std::wstring_view code);
// Cell XF: parent style 0, every attribute group marked as set.
void WriteCellXf(Bytes& out, uint16_t font, uint16_t format, HAlign align);
// The default cell XF (15): Normal style throughout, nothing of its own.
void WriteDefaultCellXf(Bytes& out);
void WriteStyleXf(Bytes& out, uint16_t font, bool normal);
// Cell records laid out at `p`, which has room for kMaxCellRecord bytes; each
// returns the record's size. The Write forms below append the same bytes.
inline constexpr size_t kMaxCellRecord = 18;
size_t PutLabelSst(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, uint32_t sstIndex);
size_t PutNumber(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, double value);
size_t PutBoolErr(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, uint8_t value, bool isError);
size_t PutBlank(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf);

void WriteLabelSst(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, uint32_t sstIndex);
// NUMBER, or RK when the value has an exact RK form.
void WriteNumber(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, double value);
void WriteBoolErr(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, uint8_t value, bool isError);
void WriteBlank(Bytes& out, uint16_t row, uint16_t col, uint16_t xf);
void WriteColInfo(Bytes& out, uint16_t first, uint16_t last, uint16_t width256, bool hidden);
void WriteSelection(Bytes& out, uint16_t row, uint16_t col);

// Stored column width (1/256 of a digit, padding included) for a width in characters
// of the Arial 10 Normal font (7-pixel digits), rounded to whole pixels as the .xlsx
// writer does, so both file types give a column the same pixel width.
uint16_t ColumnWidthUnits(double chars);

// BIFF error byte for an error cell: accepts the BIFF code itself (0x07 #DIV/0!) or the
// automation error number (2007); anything unknown becomes #N/A.
uint8_t ErrorCode(double code);

// The shared string table, deduplicated, in first-use order.
class SharedStrings {
public:
    uint32_t intern(std::wstring_view s);
    // Counts one more use of a string interned before, by its index.
    uint32_t reuse(uint32_t index) {
        ++refs_;
        return index;
    }
    size_t unique() const { return strings_.size(); }
    uint32_t references() const { return refs_; }
    // Appends SST (+ CONTINUE) and EXTSST. `streamOffset` is the Workbook stream
    // position of out's first byte, for EXTSST's absolute offsets.
    void write(Bytes& out, size_t streamOffset) const;

private:
    std::vector<std::wstring> strings_;  // in first-use order
    TextIndex index_;
    uint32_t refs_ = 0;
};

}  // namespace calc::io::biff

namespace calc::io::cfb {

inline constexpr uint32_t kSector = 512;
inline constexpr uint32_t kMinStream = 4096;  // shorter streams would belong in the mini stream

// Everything of a compound file holding one "Workbook" stream except the stream's
// bytes: the 512-byte header, how long the stream is recorded as (padded to the
// 4096-byte cutoff) and how many sectors it takes, and the sectors that follow it
// (directory, FAT, DIFAT).
struct Layout {
    std::vector<uint8_t> header;
    uint64_t streamSize = 0;
    uint32_t streamSectors = 0;
    std::vector<uint8_t> tail;
};

// Fails (returns false) only for streams beyond the 32-bit size of a version 3 file.
bool LayOut(uint64_t workbookBytes, Layout* layout);

}  // namespace calc::io::cfb
