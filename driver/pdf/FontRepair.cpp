#include "driver/pdf/FontRepair.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace sw::driver {

namespace {

constexpr int kMaxFormDepth = 8;
constexpr std::size_t kMaxDictionaries = 20000;

std::uint32_t U16(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
}
std::uint32_t U32(const unsigned char* p) {
    return (U16(p) << 16) | U16(p + 2);
}

class FontFile {
public:
    FontFile(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
    // The table's bytes, or false when it is missing or out of bounds.
    bool Table(const char* tag, const unsigned char** at, std::size_t* length) const {
        if (size_ < 12) {
            return false;
        }
        const std::uint32_t count = U16(data_ + 4);
        for (std::uint32_t i = 0; i < count && 12 + 16 * (i + 1) <= size_; ++i) {
            const unsigned char* entry = data_ + 12 + 16 * i;
            if (std::equal(entry, entry + 4, tag)) {
                const std::uint32_t offset = U32(entry + 8);
                const std::uint32_t len = U32(entry + 12);
                if (offset > size_ || len > size_ - offset) {
                    return false;
                }
                *at = data_ + offset;
                *length = len;
                return true;
            }
        }
        return false;
    }

private:
    const unsigned char* data_;
    std::size_t size_;
};

void Keep(FontRepair& out, std::uint32_t glyph, char32_t c) {
    if (glyph != 0 && c >= 0x20) {
        out.unicode.emplace(glyph, c);  // the first character drawn by a glyph wins
    }
}

bool ReadFormat4(const unsigned char* t, std::size_t len, FontRepair& out) {
    if (len < 14) {
        return false;
    }
    const std::uint32_t segments = U16(t + 6) / 2;
    if (14 + 8 * static_cast<std::size_t>(segments) + 2 > len) {
        return false;
    }
    const unsigned char* ends = t + 14;
    const unsigned char* starts = ends + 2 * segments + 2;
    const unsigned char* deltas = starts + 2 * segments;
    const unsigned char* offsets = deltas + 2 * segments;
    for (std::uint32_t s = 0; s < segments; ++s) {
        const std::uint32_t start = U16(starts + 2 * s);
        const std::uint32_t end = U16(ends + 2 * s);
        const std::uint32_t delta = U16(deltas + 2 * s);
        const std::uint32_t rangeOffset = U16(offsets + 2 * s);
        for (std::uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
            std::uint32_t glyph = 0;
            if (rangeOffset == 0) {
                glyph = (c + delta) & 0xFFFF;
            } else {
                const std::size_t at =
                    static_cast<std::size_t>(offsets - t) + 2 * s + rangeOffset + 2 * (c - start);
                if (at + 2 > len) {
                    break;
                }
                glyph = U16(t + at);
                if (glyph != 0) {
                    glyph = (glyph + delta) & 0xFFFF;
                }
            }
            Keep(out, glyph, static_cast<char32_t>(c));
        }
    }
    return !out.unicode.empty();
}

bool ReadFormat12(const unsigned char* t, std::size_t len, FontRepair& out) {
    if (len < 16) {
        return false;
    }
    const std::uint32_t groups = U32(t + 12);
    for (std::uint32_t g = 0; g < groups && 16 + 12 * (static_cast<std::size_t>(g) + 1) <= len; ++g) {
        const unsigned char* group = t + 16 + 12 * g;
        const std::uint32_t start = U32(group);
        const std::uint32_t end = std::min<std::uint32_t>(U32(group + 4), 0x10FFFF);
        const std::uint32_t glyph = U32(group + 8);
        for (std::uint32_t c = start; c <= end && c - start < 0x10000; ++c) {
            Keep(out, glyph + (c - start), static_cast<char32_t>(c));
        }
    }
    return !out.unicode.empty();
}

std::string NameEntry(const FontFile& font, std::uint32_t wanted) {
    const unsigned char* t = nullptr;
    std::size_t len = 0;
    if (!font.Table("name", &t, &len) || len < 6) {
        return {};
    }
    const std::uint32_t count = U16(t + 2);
    const std::uint32_t strings = U16(t + 4);
    for (std::uint32_t i = 0; i < count && 6 + 12 * (static_cast<std::size_t>(i) + 1) <= len; ++i) {
        const unsigned char* r = t + 6 + 12 * i;
        const std::uint32_t platform = U16(r);
        const std::uint32_t id = U16(r + 6);
        const std::uint32_t length = U16(r + 8);
        const std::size_t at = static_cast<std::size_t>(strings) + U16(r + 10);
        if (id != wanted || at + length > len) {
            continue;
        }
        std::string name;
        if (platform == 3 || platform == 0) {
            for (std::uint32_t k = 0; k + 1 < length; k += 2) {
                const std::uint32_t c = U16(t + at + k);
                name += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '_';
            }
        } else {
            for (std::uint32_t k = 0; k < length; ++k) {
                const unsigned char c = t[at + k];
                name += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '_';
            }
        }
        if (!name.empty()) {
            return name;
        }
    }
    return {};
}

void RemoveBlanks(std::string& text) {
    std::erase(text, ' ');
}

class Walker {
public:
    explicit Walker(QPDF& pdf) : pdf_(pdf) {}
    int repaired = 0;

    void Resources(QPDFObjectHandle resources, int depth) {
        if (!resources.isDictionary() || depth > kMaxFormDepth || ++visited_ > kMaxDictionaries) {
            return;
        }
        QPDFObjectHandle fonts = resources.getKey("/Font");
        if (fonts.isDictionary()) {
            for (const auto& key : fonts.getKeys()) {
                Font(fonts.getKey(key));
            }
        }
        QPDFObjectHandle xobjects = resources.getKey("/XObject");
        if (xobjects.isDictionary()) {
            for (const auto& key : xobjects.getKeys()) {
                QPDFObjectHandle form = xobjects.getKey(key);
                if (form.isStream() && Seen(form)) {
                    Resources(form.getDict().getKey("/Resources"), depth + 1);
                }
            }
        }
    }

private:
    bool Seen(QPDFObjectHandle object) {
        if (!object.isIndirect()) {
            return true;
        }
        return seen_.insert(object.getObjGen().getObj()).second;
    }

    void Font(QPDFObjectHandle font) {
        if (!font.isDictionary() || !Seen(font)) {
            return;
        }
        if (!font.getKey("/Subtype").isNameAndEquals("/Type0") || font.hasKey("/ToUnicode") ||
            !font.getKey("/Encoding").isNameAndEquals("/Identity-H")) {
            return;
        }
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (!descendants.isArray() || descendants.getArrayNItems() < 1) {
            return;
        }
        QPDFObjectHandle cid = descendants.getArrayItem(0);
        QPDFObjectHandle map = cid.getKey("/CIDToGIDMap");
        if (!cid.getKey("/Subtype").isNameAndEquals("/CIDFontType2") ||
            (!map.isNull() && !map.isNameAndEquals("/Identity"))) {
            return;
        }
        QPDFObjectHandle file = cid.getKey("/FontDescriptor").getKey("/FontFile2");
        QPDFObjectHandle base = font.getKey("/BaseFont");
        if (!file.isStream() || !base.isName()) {
            return;
        }
        std::shared_ptr<Buffer> bytes = file.getStreamData(qpdf_dl_generalized);
        if (!bytes) {
            return;
        }
        // Generators that embed the same font on every page get one map for all.
        const std::string key(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
        auto known = maps_.find(key);
        if (known == maps_.end()) {
            FontRepair repair;
            if (!ReadTrueTypeFont(bytes->getBuffer(), bytes->getSize(), repair)) {
                return;
            }
            QPDFObjectHandle stream =
                pdf_.makeIndirectObject(QPDFObjectHandle::newStream(&pdf_, ToUnicodeCMap(repair)));
            known = maps_.emplace(key, std::make_pair(stream, repair.name)).first;
        }
        font.replaceKey("/ToUnicode", known->second.first);
        if (!known->second.second.empty()) {
            font.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + known->second.second));
        }
        ++repaired;
    }

    QPDF& pdf_;
    std::map<std::string, std::pair<QPDFObjectHandle, std::string>> maps_;  // font file -> map, name
    std::size_t visited_ = 0;
    std::set<int> seen_;
};

}  // namespace

bool ReadTrueTypeFont(const unsigned char* data, std::size_t size, FontRepair& out) {
    const FontFile font(data, size);
    const unsigned char* t = nullptr;
    std::size_t len = 0;
    if (!font.Table("cmap", &t, &len) || len < 4) {
        return false;
    }
    const std::uint32_t count = U16(t + 2);
    // Unicode subtables: full repertoire first, then the basic plane.
    for (const std::uint32_t wantedFormat : {12U, 4U}) {
        for (std::uint32_t i = 0; i < count && 4 + 8 * (static_cast<std::size_t>(i) + 1) <= len; ++i) {
            const unsigned char* r = t + 4 + 8 * i;
            const std::uint32_t platform = U16(r);
            const std::uint32_t encoding = U16(r + 2);
            const std::uint32_t offset = U32(r + 4);
            if (offset + 2 > len ||
                !(platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10)))) {
                continue;
            }
            const unsigned char* sub = t + offset;
            if (U16(sub) != wantedFormat) {
                continue;
            }
            const bool ok = wantedFormat == 12 ? ReadFormat12(sub, len - offset, out)
                                               : ReadFormat4(sub, len - offset, out);
            if (ok) {
                std::string family = NameEntry(font, 1);
                std::string style = NameEntry(font, 2);
                RemoveBlanks(family);
                RemoveBlanks(style);
                out.name = style.empty() || style == "Regular" ? family : family + "-" + style;
                return true;
            }
        }
    }
    return false;
}

std::string ToUnicodeCMap(const FontRepair& repair) {
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (const auto& [code, c] : repair.unicode) {
        if (code <= 0xFFFF) {
            pairs.emplace_back(code, static_cast<std::uint32_t>(c));
        }
    }
    std::sort(pairs.begin(), pairs.end());
    // Codes that follow each other and draw characters that follow each
    // other become one range, within one 256-block on both sides.
    struct Range {
        std::uint32_t low, high, first;
    };
    std::vector<Range> ranges;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> singles;
    for (std::size_t i = 0; i < pairs.size();) {
        std::size_t j = i + 1;
        while (j < pairs.size() && pairs[j].first == pairs[j - 1].first + 1 &&
               pairs[j].second == pairs[j - 1].second + 1 && (pairs[j].first >> 8) == (pairs[i].first >> 8) &&
               (pairs[j].second >> 8) == (pairs[i].second >> 8) && pairs[j].second <= 0xFFFF) {
            ++j;
        }
        if (j - i > 1 && pairs[i].second <= 0xFFFF) {
            ranges.push_back({pairs[i].first, pairs[j - 1].first, pairs[i].second});
        } else {
            for (std::size_t k = i; k < j; ++k) {
                singles.push_back(pairs[k]);
            }
        }
        i = j;
    }
    char entry[64];
    for (std::size_t i = 0; i < ranges.size(); i += 100) {
        const std::size_t count = std::min<std::size_t>(100, ranges.size() - i);
        cmap += std::to_string(count) + " beginbfrange\n";
        for (std::size_t k = i; k < i + count; ++k) {
            std::snprintf(entry, sizeof entry, "<%04X> <%04X> <%04X>\n", ranges[k].low, ranges[k].high,
                          ranges[k].first);
            cmap += entry;
        }
        cmap += "endbfrange\n";
    }
    for (std::size_t i = 0; i < singles.size(); i += 100) {
        const std::size_t count = std::min<std::size_t>(100, singles.size() - i);
        cmap += std::to_string(count) + " beginbfchar\n";
        for (std::size_t k = i; k < i + count; ++k) {
            const std::uint32_t code = singles[k].first;
            const std::uint32_t c = singles[k].second;
            if (c > 0xFFFF) {
                const std::uint32_t v = c - 0x10000;
                std::snprintf(entry, sizeof entry, "<%04X> <%04X%04X>\n", code, 0xD800 + (v >> 10),
                              0xDC00 + (v & 0x3FF));
            } else {
                std::snprintf(entry, sizeof entry, "<%04X> <%04X>\n", code, c);
            }
            cmap += entry;
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

bool PrepareForText(const char* data, std::size_t size, std::string& prepared) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("job", data, size);
        Walker walker(pdf);
        for (auto& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            walker.Resources(page.getAttribute("/Resources", false), 0);
            const QPDFObjectHandle::Rectangle box = page.getMediaBox().getArrayAsRectangle();
            QPDFObjectHandle object = page.getObjectHandle();
            const QPDFObjectHandle wide = QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                box.llx - kPageMargin, box.lly - kPageMargin, box.urx + kPageMargin, box.ury + kPageMargin));
            object.replaceKey("/MediaBox", wide);
            object.replaceKey("/CropBox", wide);
        }
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.write();
        std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        prepared.assign(reinterpret_cast<const char*>(out->getBuffer()), out->getSize());
        return true;
    } catch (const std::exception&) {
        return false;  // poppler reads the PDF as it came
    }
}

}  // namespace sw::driver
