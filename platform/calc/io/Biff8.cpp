#include "platform/calc/io/Biff8.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace calc::io::biff {
namespace {

bool FitsLatin1(const std::u16string& s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c <= 0xFF; });
}

void Chars(Bytes& out, const char16_t* s, size_t n, bool compressed) {
    if (compressed) {
        uint8_t* p = out.grow(n);
        for (size_t i = 0; i < n; ++i) {
            p[i] = static_cast<uint8_t>(s[i]);
        }
    } else {
        uint8_t* p = out.grow(2 * n);
        for (size_t i = 0; i < n; ++i) {
            Bytes::Put16(p + 2 * i, static_cast<uint16_t>(s[i]));
        }
    }
}

// A cell record's header and its row, column and XF, the fields every cell
// record opens with; returns where the rest of the body goes.
uint8_t* CellHeader(uint8_t* p, uint16_t id, uint16_t bodySize, uint16_t row, uint16_t col, uint16_t xf) {
    Bytes::Put16(p, id);
    Bytes::Put16(p + 2, bodySize);
    Bytes::Put16(p + 4, row);
    Bytes::Put16(p + 6, col);
    Bytes::Put16(p + 8, xf);
    return p + 10;
}

uint8_t AlignBits(HAlign a) {
    switch (a) {
        case HAlign::Left:
            return 1;
        case HAlign::Center:
            return 2;
        case HAlign::Right:
            return 3;
        case HAlign::Fill:
            return 4;
        case HAlign::Justify:
            return 5;
        case HAlign::CenterAcrossSelection:
            return 6;
        case HAlign::General:
            break;
    }
    return 0;
}

constexpr uint8_t kVerticalBottom = 2 << 4;

}  // namespace

std::u16string ToUtf16(std::wstring_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (wchar_t wc : s) {
        auto c = static_cast<uint32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else if (c > 0x10FFFF) {
            out.push_back(u'\uFFFD');
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

bool EncodeRk(double value, uint32_t* rk) {
    if (!std::isfinite(value)) {
        return false;
    }
    auto asInt = [](double v, uint32_t flag, uint32_t* out) {
        if (v >= -536870912.0 && v < 536870912.0 && v == std::floor(v)) {
            auto i = static_cast<int32_t>(v);
            *out = (static_cast<uint32_t>(i) << 2) | 2 | flag;
            return true;
        }
        return false;
    };
    auto asFloat = [](double v, uint32_t flag, uint32_t* out) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        if ((bits & 0x3FFFFFFFFULL) == 0) {
            *out = static_cast<uint32_t>(bits >> 32) | flag;
            return true;
        }
        return false;
    };
    if (asInt(value, 0, rk) || asFloat(value, 0, rk)) {
        return true;
    }
    // The x100 forms must give back exactly the same double when divided by 100.
    double whole = std::round(value * 100.0);
    if (std::fabs(whole) < 536870912.0 && whole / 100.0 == value) {
        return asInt(whole, 1, rk);
    }
    uint32_t candidate;
    if (asFloat(value * 100.0, 1, &candidate)) {
        uint64_t bits = static_cast<uint64_t>(candidate & ~3u) << 32;
        double back;
        std::memcpy(&back, &bits, 8);
        if (back / 100.0 == value) {
            *rk = candidate;
            return true;
        }
    }
    return false;
}

void WriteBof(Bytes& out, uint16_t substreamType) {
    size_t b = out.begin(rec::kBof);
    out.u16(0x0600);
    out.u16(substreamType);
    out.u16(0x0DBB);  // build
    out.u16(0x07CC);  // year
    out.u32(0);       // history flags
    out.u32(6);       // lowest version that can read all records
    out.end(b);
}

void WriteFont(Bytes& out, const FontSpec& font) {
    std::u16string name = ToUtf16(font.name);
    if (name.size() > 255) {
        name.resize(255);
    }
    size_t b = out.begin(rec::kFont);
    double twips = std::round(font.size * 20.0);
    out.u16(static_cast<uint16_t>(std::clamp(twips, 20.0, 8180.0)));
    out.u16(static_cast<uint16_t>((font.bold ? 1 : 0) | (font.italic ? 2 : 0)));
    out.u16(0x7FFF);  // automatic colour
    out.u16(font.bold ? 700 : 400);
    out.u16(0);  // escapement
    out.u8(font.underline ? 1 : 0);
    out.u8(0);  // family
    out.u8(0);  // charset
    out.u8(0);
    bool compressed = FitsLatin1(name);
    out.u8(static_cast<uint8_t>(name.size()));
    out.u8(compressed ? 0 : 1);
    Chars(out, name.data(), name.size(), compressed);
    out.end(b);
}

void WriteFormat(Bytes& out, uint16_t index, std::wstring_view code) {
    std::u16string s = ToUtf16(code);
    bool compressed = FitsLatin1(s);
    size_t b = out.begin(rec::kFormat);
    out.u16(index);
    out.u16(static_cast<uint16_t>(s.size()));
    out.u8(compressed ? 0 : 1);
    Chars(out, s.data(), s.size(), compressed);
    out.end(b);
}

namespace {
void WriteXf(Bytes& out, uint16_t font, uint16_t format, uint16_t typeAndParent, uint8_t align,
             uint8_t used) {
    size_t b = out.begin(rec::kXf);
    out.u16(font);
    out.u16(format);
    out.u16(typeAndParent);
    out.u8(align);
    out.u8(0);  // rotation
    out.u8(0);  // indent, shrink
    out.u8(used);
    out.u32(0);  // borders
    out.u32(0);
    out.u16(0x20C0);  // pattern colours: automatic
    out.end(b);
}
}  // namespace

void WriteCellXf(Bytes& out, uint16_t font, uint16_t format, HAlign align) {
    WriteXf(out, font, format, 0x0001, static_cast<uint8_t>(AlignBits(align) | kVerticalBottom), 0xFC);
}

void WriteDefaultCellXf(Bytes& out) {
    WriteXf(out, 0, 0, 0x0001, kVerticalBottom, 0x00);
}

void WriteStyleXf(Bytes& out, uint16_t font, bool normal) {
    WriteXf(out, font, 0, 0xFFF5, kVerticalBottom, normal ? 0x00 : 0xF4);
}

size_t PutLabelSst(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, uint32_t sstIndex) {
    Bytes::Put32(CellHeader(p, rec::kLabelsst, 10, row, col, xf), sstIndex);
    return 14;
}

size_t PutNumber(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, double value) {
    uint32_t rk;
    if (EncodeRk(value, &rk)) {
        Bytes::Put32(CellHeader(p, rec::kRk, 10, row, col, xf), rk);
        return 14;
    }
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    uint8_t* body = CellHeader(p, rec::kNumber, 14, row, col, xf);
    Bytes::Put32(body, static_cast<uint32_t>(bits));
    Bytes::Put32(body + 4, static_cast<uint32_t>(bits >> 32));
    return 18;
}

size_t PutBoolErr(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf, uint8_t value, bool isError) {
    uint8_t* body = CellHeader(p, rec::kBoolerr, 8, row, col, xf);
    body[0] = value;
    body[1] = isError ? 1 : 0;
    return 12;
}

size_t PutBlank(uint8_t* p, uint16_t row, uint16_t col, uint16_t xf) {
    CellHeader(p, rec::kBlank, 6, row, col, xf);
    return 10;
}

void WriteLabelSst(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, uint32_t sstIndex) {
    uint8_t rec[kMaxCellRecord];
    out.raw(rec, PutLabelSst(rec, row, col, xf, sstIndex));
}

void WriteNumber(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, double value) {
    uint8_t rec[kMaxCellRecord];
    out.raw(rec, PutNumber(rec, row, col, xf, value));
}

void WriteBoolErr(Bytes& out, uint16_t row, uint16_t col, uint16_t xf, uint8_t value, bool isError) {
    uint8_t rec[kMaxCellRecord];
    out.raw(rec, PutBoolErr(rec, row, col, xf, value, isError));
}

void WriteBlank(Bytes& out, uint16_t row, uint16_t col, uint16_t xf) {
    uint8_t rec[kMaxCellRecord];
    out.raw(rec, PutBlank(rec, row, col, xf));
}

void WriteColInfo(Bytes& out, uint16_t first, uint16_t last, uint16_t width256, bool hidden) {
    size_t b = out.begin(rec::kColinfo);
    out.u16(first);
    out.u16(last);
    out.u16(width256);
    out.u16(15);                                                     // default cell XF
    out.u16(static_cast<uint16_t>(0x0002 | (hidden ? 0x0001 : 0)));  // user-set width
    out.u16(0);
    out.end(b);
}

void WriteSelection(Bytes& out, uint16_t row, uint16_t col) {
    size_t b = out.begin(rec::kSelection);
    out.u8(3);  // the only pane
    out.u16(row);
    out.u16(col);
    out.u16(0);  // active range in the list
    out.u16(1);
    out.u16(row);
    out.u16(row);
    out.u8(static_cast<uint8_t>(col));
    out.u8(static_cast<uint8_t>(col));
    out.end(b);
}

uint16_t ColumnWidthUnits(double chars) {
    constexpr double kDigitPx = 7.0;  // Arial 10
    constexpr double kPaddingPx = 5.0;
    if (!(chars > 0)) {
        return 0;
    }
    chars = std::min(chars, 255.0);
    // Columns are whole pixels wide; below one character the padding shrinks with the width.
    double px = chars < 1.0 ? std::floor(chars * (kDigitPx + kPaddingPx) + 0.5)
                            : std::floor(chars * kDigitPx + 0.5) + kPaddingPx;
    double units = std::floor(px / kDigitPx * 256.0);
    return static_cast<uint16_t>(std::min(units, 65535.0));
}

uint8_t ErrorCode(double code) {
    double c = code >= 2000 ? code - 2000 : code;
    for (const uint8_t known : std::initializer_list<uint8_t>{0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A}) {
        if (c == known) {
            return known;
        }
    }
    return 0x2A;
}

uint32_t SharedStrings::intern(std::wstring_view s) {
    ++refs_;
    const auto fresh = static_cast<uint32_t>(strings_.size());
    const uint32_t id =
        index_.findOrAdd(s, fresh, [this](uint32_t i) -> const std::wstring& { return strings_[i]; });
    if (id == fresh) {
        strings_.emplace_back(s);
    }
    return id;
}

void SharedStrings::write(Bytes& out, size_t streamOffset) const {
    const size_t unique = strings_.size();
    const size_t perBucket = std::max<size_t>(8, (unique + 127) / 128);
    struct Bucket {
        uint32_t streamPos;
        uint16_t inRecord;
    };
    std::vector<Bucket> buckets;

    size_t body = out.begin(rec::kSst);
    size_t recordStart = body - 4;
    out.u32(refs_);
    out.u32(static_cast<uint32_t>(unique));
    auto room = [&] { return kMaxRecordData - (out.size() - body); };
    auto next = [&] {
        out.end(body);
        body = out.begin(rec::kContinue);
        recordStart = body - 4;
    };
    for (size_t i = 0; i < unique; ++i) {
        std::u16string s = ToUtf16(strings_[i]);
        bool compressed = FitsLatin1(s);
        size_t charSize = compressed ? 1 : 2;
        // The header and the first character never part.
        if (room() < 3 + (s.empty() ? 0 : charSize)) {
            next();
        }
        if (i % perBucket == 0) {
            buckets.push_back({static_cast<uint32_t>(streamOffset + out.size()),
                               static_cast<uint16_t>(out.size() - recordStart)});
        }
        out.u16(static_cast<uint16_t>(s.size()));
        out.u8(compressed ? 0 : 1);
        size_t pos = 0;
        while (pos < s.size()) {
            size_t n = std::min(s.size() - pos, room() / charSize);
            // Keep surrogate pairs in one record.
            if (!compressed && n > 1 && pos + n < s.size() && s[pos + n - 1] >= 0xD800 &&
                s[pos + n - 1] < 0xDC00) {
                --n;
            }
            Chars(out, s.data() + pos, n, compressed);
            pos += n;
            if (pos < s.size()) {
                next();
                out.u8(compressed ? 0 : 1);  // the continued part restates its width
            }
        }
    }
    out.end(body);

    size_t b = out.begin(rec::kExtsst);
    out.u16(static_cast<uint16_t>(perBucket));
    for (const Bucket& k : buckets) {
        out.u32(k.streamPos);
        out.u16(k.inRecord);
        out.u16(0);
    }
    out.end(b);
}

}  // namespace calc::io::biff

namespace calc::io::cfb {
namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD,
                   kDifSect = 0xFFFFFFFC, kNoStream = 0xFFFFFFFF;
constexpr uint32_t kHeaderDifat = 109;
constexpr uint32_t kPerSector = kSector / 4;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) {
        b[at + k] = static_cast<uint8_t>(v >> (8 * k));
    }
}

void DirEntry(std::vector<uint8_t>& b, size_t at, const char16_t* name, uint8_t type, uint32_t child,
              uint32_t start, uint32_t size) {
    size_t len = 0;
    for (; name[len]; ++len) {
        Put16(b, at + 2 * len, static_cast<uint16_t>(name[len]));
    }
    Put16(b, at + 0x40, static_cast<uint16_t>((len + 1) * 2));
    b[at + 0x42] = type;
    b[at + 0x43] = 1;  // black: a tree of black nodes needs no balancing
    Put32(b, at + 0x44, kNoStream);
    Put32(b, at + 0x48, kNoStream);
    Put32(b, at + 0x4C, child);
    Put32(b, at + 0x74, start);
    Put32(b, at + 0x78, size);
}

}  // namespace

bool LayOut(uint64_t workbookBytes, Layout* layout) {
    uint64_t size = std::max<uint64_t>(workbookBytes, kMinStream);
    if (size > 0xFFFFFE00ULL) {
        return false;
    }
    const auto data = static_cast<uint32_t>((size + kSector - 1) / kSector);
    const uint32_t dir = 1;
    uint32_t fat = 1, difat = 0;
    for (;;) {
        uint32_t total = data + dir + fat + difat;
        uint32_t newFat = (total + kPerSector - 1) / kPerSector;
        uint32_t newDifat = newFat <= kHeaderDifat ? 0 : (newFat - kHeaderDifat + 126) / 127;
        if (newFat == fat && newDifat == difat) {
            break;
        }
        fat = newFat;
        difat = newDifat;
    }
    const uint32_t dirSector = data;
    const uint32_t firstFat = data + dir;
    const uint32_t firstDifat = firstFat + fat;

    layout->streamSize = size;
    layout->streamSectors = data;
    auto& h = layout->header;
    h.assign(kSector, 0);
    static const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(h.data(), kSignature, 8);
    Put16(h, 0x18, 0x003E);
    Put16(h, 0x1A, 3);
    Put16(h, 0x1C, 0xFFFE);
    Put16(h, 0x1E, 9);
    Put16(h, 0x20, 6);
    Put32(h, 0x2C, fat);
    Put32(h, 0x30, dirSector);
    Put32(h, 0x38, kMinStream);
    Put32(h, 0x3C, kEndOfChain);
    Put32(h, 0x44, difat ? firstDifat : kEndOfChain);
    Put32(h, 0x48, difat);
    for (uint32_t k = 0; k < kHeaderDifat; ++k) {
        Put32(h, 0x4C + 4 * k, k < fat ? firstFat + k : kFreeSect);
    }

    auto& t = layout->tail;
    t.assign(static_cast<size_t>(dir + fat + difat) * kSector, 0);
    static const char16_t kRoot[] = u"Root Entry";
    static const char16_t kWorkbook[] = u"Workbook";
    DirEntry(t, 0, kRoot, 5, 1, kEndOfChain, 0);
    DirEntry(t, 128, kWorkbook, 2, kNoStream, 0, static_cast<uint32_t>(size));
    for (size_t e = 2; e < 4; ++e) {
        Put32(t, e * 128 + 0x44, kNoStream);
        Put32(t, e * 128 + 0x48, kNoStream);
        Put32(t, e * 128 + 0x4C, kNoStream);
    }
    const size_t fatAt = kSector;
    for (uint32_t i = 0; i < fat * kPerSector; ++i) {
        uint32_t v = kFreeSect;
        if (i < data) {
            v = i + 1 < data ? i + 1 : kEndOfChain;
        } else if (i == dirSector) {
            v = kEndOfChain;
        } else if (i >= firstFat && i < firstFat + fat) {
            v = kFatSect;
        } else if (i >= firstDifat && i < firstDifat + difat) {
            v = kDifSect;
        }
        Put32(t, fatAt + 4 * i, v);
    }
    const size_t difatAt = fatAt + static_cast<size_t>(fat) * kSector;
    for (uint32_t d = 0; d < difat; ++d) {
        size_t at = difatAt + static_cast<size_t>(d) * kSector;
        for (uint32_t k = 0; k < 127; ++k) {
            uint32_t idx = kHeaderDifat + d * 127 + k;
            Put32(t, at + 4 * k, idx < fat ? firstFat + idx : kFreeSect);
        }
        Put32(t, at + 4 * 127, d + 1 < difat ? firstDifat + d + 1 : kEndOfChain);
    }
    return true;
}

}  // namespace calc::io::cfb
