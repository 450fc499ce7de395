#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/calc/io/Biff8.h"
#include "platform/calc/io/TextIndex.h"
#include "platform/calc/io/tests/BiffReader.h"

namespace calc::io {
namespace {

using biff::Bytes;
using Raw = std::vector<uint8_t>;

TEST(biff8_records_test, label_sst_record_bytes) {
    Bytes out;
    biff::WriteLabelSst(out, 2, 1, 16, 5);
    EXPECT_EQ(out.data(),
              (Raw{0xFD, 0x00, 0x0A, 0x00, 0x02, 0x00, 0x01, 0x00, 0x10, 0x00, 0x05, 0x00, 0x00, 0x00}));
}

TEST(biff8_records_test, number_record_for_a_value_without_rk_form) {
    Bytes out;
    biff::WriteNumber(out, 0, 3, 15, 1.0 / 3.0);
    EXPECT_EQ(out.data(), (Raw{0x03, 0x02, 0x0E, 0x00, 0x00, 0x00, 0x03, 0x00, 0x0F, 0x00, 0x55, 0x55, 0x55,
                               0x55, 0x55, 0x55, 0xD5, 0x3F}));
}

TEST(biff8_records_test, rk_record_for_an_integer) {
    Bytes out;
    biff::WriteNumber(out, 1, 2, 15, 1234);
    // (1234 << 2) | 2 = 0x134A
    EXPECT_EQ(out.data(),
              (Raw{0x7E, 0x02, 0x0A, 0x00, 0x01, 0x00, 0x02, 0x00, 0x0F, 0x00, 0x4A, 0x13, 0x00, 0x00}));
}

TEST(biff8_records_test, rk_forms_round_trip_exactly) {
    uint32_t rk = 0;
    ASSERT_TRUE(biff::EncodeRk(-1, &rk));
    EXPECT_EQ(rk, 0xFFFFFFFEu);
    ASSERT_TRUE(biff::EncodeRk(12.34, &rk));
    EXPECT_EQ(rk, (1234u << 2) | 3u);
    ASSERT_TRUE(biff::EncodeRk(0.5, &rk));
    EXPECT_EQ(rk, 0x3FE00000u);
    // 2^29 no longer fits the 30-bit integer form but is an exact short double.
    ASSERT_TRUE(biff::EncodeRk(536870912.0, &rk));
    EXPECT_EQ(rk, 0x41C00000u);
    ASSERT_TRUE(biff::EncodeRk(-536870912.0, &rk));
    EXPECT_EQ(rk, (static_cast<uint32_t>(-536870912) << 2) | 2u);
    EXPECT_FALSE(biff::EncodeRk(1.0 / 3.0, &rk));
    EXPECT_FALSE(biff::EncodeRk(123456789.123, &rk));
    EXPECT_FALSE(biff::EncodeRk(0.0 / 0.0, &rk));

    // Whatever form is chosen, a reader decoding it gets the same double back.
    auto decode = [](uint32_t v) {
        double d;
        if (v & 2) {
            d = static_cast<double>(static_cast<int32_t>(v) >> 2);
        } else {
            uint64_t bits = static_cast<uint64_t>(v & ~3u) << 32;
            std::memcpy(&d, &bits, 8);
        }
        return (v & 1) ? d / 100.0 : d;
    };
    for (double v :
         {0.0, 1.0, -7.0, 0.1, 0.01, 1.05, 38383.0, 38383.5, 99.99, -0.07, 1234567.89, 1e-5, 3.75e8}) {
        if (biff::EncodeRk(v, &rk)) {
            EXPECT_EQ(decode(rk), v) << v;
        }
    }
}

TEST(biff8_records_test, boolean_error_and_blank_records) {
    Bytes out;
    biff::WriteBoolErr(out, 0, 0, 15, 1, false);
    biff::WriteBoolErr(out, 0, 1, 15, biff::ErrorCode(2042), true);
    biff::WriteBlank(out, 0, 2, 16);
    EXPECT_EQ(out.data(), (Raw{0x05, 0x02, 0x08, 0x00, 0, 0, 0, 0, 0x0F, 0, 0x01, 0x00,  //
                               0x05, 0x02, 0x08, 0x00, 0, 0, 1, 0, 0x0F, 0, 0x2A, 0x01,  //
                               0x01, 0x02, 0x06, 0x00, 0, 0, 2, 0, 0x10, 0}));
    EXPECT_EQ(biff::ErrorCode(0x07), 0x07);
    EXPECT_EQ(biff::ErrorCode(2007), 0x07);
    EXPECT_EQ(biff::ErrorCode(2000), 0x00);
    EXPECT_EQ(biff::ErrorCode(12345), 0x2A);
}

TEST(biff8_records_test, cell_xf_record_bytes) {
    Bytes out;
    biff::WriteCellXf(out, 5, 164, HAlign::Left);
    EXPECT_EQ(out.data(), (Raw{0xE0, 0x00, 0x14, 0x00, 0x05, 0x00, 0xA4, 0x00, 0x01, 0x00, 0x21, 0x00,
                               0x00, 0xFC, 0,    0,    0,    0,    0,    0,    0,    0,    0xC0, 0x20}));
    Bytes centred;
    biff::WriteCellXf(centred, 0, 14, HAlign::Center);
    EXPECT_EQ(centred.data()[10], 0x22);
    EXPECT_EQ(centred.data()[6], 14);
}

TEST(biff8_records_test, format_record_bytes_for_latin_and_wide_codes) {
    Bytes out;
    biff::WriteFormat(out, 164, L"0.000");
    EXPECT_EQ(out.data(),
              (Raw{0x1E, 0x04, 0x0A, 0x00, 0xA4, 0x00, 0x05, 0x00, 0x00, '0', '.', '0', '0', '0'}));
    Bytes wide;
    biff::WriteFormat(wide, 165, L"\u20ac0");
    EXPECT_EQ(wide.data(),
              (Raw{0x1E, 0x04, 0x09, 0x00, 0xA5, 0x00, 0x02, 0x00, 0x01, 0xAC, 0x20, 0x30, 0x00}));
}

TEST(biff8_records_test, font_record_bytes) {
    Bytes out;
    FontSpec f;
    f.size = 12;
    f.bold = true;
    f.underline = true;
    biff::WriteFont(out, f);
    EXPECT_EQ(out.data(), (Raw{0x31, 0x00, 0x15, 0x00, 0xF0, 0x00, 0x01, 0x00, 0xFF, 0x7F, 0xBC, 0x02, 0x00,
                               0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 'A',  'r',  'i',  'a',  'l'}));
    Bytes italic;
    f = FontSpec();
    f.italic = true;
    f.size = 9.5;
    biff::WriteFont(italic, f);
    EXPECT_EQ(Raw(italic.data().begin() + 4, italic.data().begin() + 8), (Raw{190, 0x00, 0x02, 0x00}));
}

TEST(biff8_records_test, selection_record_for_c7) {
    Bytes out;
    biff::WriteSelection(out, 6, 2);
    EXPECT_EQ(out.data(), (Raw{0x1D, 0x00, 0x0F, 0x00, 0x03, 0x06, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00,
                               0x06, 0x00, 0x06, 0x00, 0x02, 0x02}));
}

TEST(biff8_records_test, column_width_units_include_the_padding) {
    EXPECT_EQ(biff::ColumnWidthUnits(20), 5302);
    EXPECT_EQ(biff::ColumnWidthUnits(8.43), 2340);
    EXPECT_EQ(biff::ColumnWidthUnits(30.5), 8009);  // 213.5 px rounds to 214, plus 5 of padding
    EXPECT_EQ(biff::ColumnWidthUnits(0.5), 219);    // 6 px
    EXPECT_EQ(biff::ColumnWidthUnits(0), 0);
    EXPECT_EQ(biff::ColumnWidthUnits(-3), 0);
    EXPECT_EQ(biff::ColumnWidthUnits(1000), biff::ColumnWidthUnits(255));
    Bytes out;
    biff::WriteColInfo(out, 1, 3, 5302, false);
    EXPECT_EQ(out.data(),
              (Raw{0x7D, 0x00, 0x0C, 0x00, 1, 0, 3, 0, 0xB6, 0x14, 0x0F, 0x00, 0x02, 0x00, 0, 0}));
}

TEST(biff8_records_test, shared_strings_deduplicate_and_pick_the_narrowest_width) {
    biff::SharedStrings sst;
    EXPECT_EQ(sst.intern(L"ab"), 0u);
    EXPECT_EQ(sst.intern(L"\u00e9"), 1u);
    EXPECT_EQ(sst.intern(L"ab"), 0u);
    EXPECT_EQ(sst.intern(L"\u03a9"), 2u);
    Bytes out;
    sst.write(out, 100);
    EXPECT_EQ(out.data(), (Raw{0xFC, 0x00, 0x16, 0x00, 4,    0,    0, 0, 3, 0, 0, 0,  // refs, unique
                               0x02, 0x00, 0x00, 'a',  'b',                           //
                               0x01, 0x00, 0x00, 0xE9,                                //
                               0x01, 0x00, 0x01, 0xA9, 0x03,                          //
                               0xFF, 0x00, 0x0A, 0x00, 0x08, 0x00,                    // EXTSST, 8 per bucket
                               112,  0,    0,    0,    12,   0,    0, 0}));
}

// Fills the first SST record so that `room` bytes are left before its limit, then adds `next`.
std::vector<test::Record> SstWithRoom(size_t room, const std::wstring& next,
                                      std::vector<std::u16string>* decoded) {
    biff::SharedStrings sst;
    const size_t filler = 8224 - 8 - 3 - room;
    sst.intern(std::wstring(filler, L'a'));
    sst.intern(next);
    Bytes out;
    sst.write(out, 0);
    auto records = test::Records(out.data());
    *decoded = test::DecodeSst(records, 0);
    return records;
}

TEST(biff8_records_test, sst_string_header_never_parts_from_its_first_character) {
    std::vector<std::u16string> strings;
    auto r = SstWithRoom(2, L"xyz", &strings);
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[0].body.size(), 8222u);
    EXPECT_EQ(r[1].id, 0x003C);
    EXPECT_EQ(Raw(r[1].body.begin(), r[1].body.begin() + 6), (Raw{0x03, 0x00, 0x00, 'x', 'y', 'z'}));
    EXPECT_EQ(strings[1], u"xyz");

    r = SstWithRoom(4, L"\u03a9\u03a9", &strings);
    EXPECT_EQ(r[0].body.size(), 8220u);
    EXPECT_EQ(Raw(r[1].body.begin(), r[1].body.begin() + 5), (Raw{0x02, 0x00, 0x01, 0xA9, 0x03}));
    EXPECT_EQ(strings[1], u"\u03a9\u03a9");
}

TEST(biff8_records_test, sst_continuation_restates_width_and_keeps_wide_chars_whole) {
    std::vector<std::u16string> strings;
    // Exactly header + one wide character fit; the rest continues behind a flags byte.
    auto r = SstWithRoom(5, L"\u03a9\u03a9\u03a9\u03a9", &strings);
    EXPECT_EQ(r[0].body.size(), 8224u);
    EXPECT_EQ(Raw(r[1].body.begin(), r[1].body.begin() + 3), (Raw{0x01, 0xA9, 0x03}));
    EXPECT_EQ(strings[1], u"\u03a9\u03a9\u03a9\u03a9");
    // One byte more: half a wide character would fit, so it moves on whole.
    r = SstWithRoom(6, L"\u03a9\u03a9\u03a9\u03a9", &strings);
    EXPECT_EQ(r[0].body.size(), 8223u);
    EXPECT_EQ(r[1].body.size(), 1u + 3 * 2);  // flags byte and the three remaining chars
    EXPECT_EQ(strings[1], u"\u03a9\u03a9\u03a9\u03a9");
    // A long narrow string spans several CONTINUE records.
    r = SstWithRoom(100, std::wstring(20000, L'z'), &strings);
    size_t continues = 0;
    for (const auto& rec : r) {
        EXPECT_LE(rec.body.size(), 8224u);
        continues += rec.id == 0x003C;
    }
    EXPECT_EQ(continues, 3u);  // 97 chars, then 8223 + 8223 + 3457
    EXPECT_EQ(strings[1], std::u16string(20000, u'z'));
}

TEST(biff8_records_test, sst_extsst_points_at_each_bucket_start) {
    biff::SharedStrings sst;
    for (int i = 0; i < 3000; ++i) {
        sst.intern(L"string number " + std::to_wstring(i) + (i % 7 == 0 ? L" \u4e2d\u6587" : L""));
    }
    Bytes out;
    const size_t base = 1000;
    sst.write(out, base);
    auto records = test::Records(out.data());
    auto strings = test::DecodeSst(records, 0);
    ASSERT_EQ(strings.size(), 3000u);
    EXPECT_EQ(strings[7], u"string number 7 \u4e2d\u6587");
    const test::Record& ext = records.back();
    ASSERT_EQ(ext.id, 0x00FF);
    uint16_t perBucket = test::Le16(ext.body, 0);
    EXPECT_EQ(perBucket, 24);  // ceil(3000 / 128)
    size_t buckets = (ext.body.size() - 2) / 8;
    EXPECT_EQ(buckets, 125u);
    for (size_t b = 0; b < buckets; ++b) {
        size_t abs = test::Le32(ext.body, 2 + 8 * b) - base;
        uint16_t inRecord = test::Le16(ext.body, 6 + 8 * b);
        uint16_t cch = test::Le16(out.data(), abs);
        EXPECT_EQ(cch, strings[b * perBucket].size());
        // The in-record offset counts from the header of the record holding the string.
        const test::Record* holder = nullptr;
        for (const auto& rec : records) {
            if (rec.offset <= abs && abs < rec.offset + 4 + rec.body.size()) {
                holder = &rec;
            }
        }
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(inRecord, abs - holder->offset);
    }
}

TEST(biff8_records_test, compound_file_layout_for_a_small_stream) {
    cfb::Layout l;
    ASSERT_TRUE(cfb::LayOut(100, &l));
    EXPECT_EQ(l.streamSize, 4096u);
    EXPECT_EQ(l.streamSectors, 8u);
    ASSERT_EQ(l.header.size(), 512u);
    EXPECT_EQ(Raw(l.header.begin(), l.header.begin() + 8),
              (Raw{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}));
    EXPECT_EQ(test::Le16(l.header, 0x1A), 3);
    EXPECT_EQ(test::Le16(l.header, 0x1C), 0xFFFE);
    EXPECT_EQ(test::Le32(l.header, 0x2C), 1u);  // FAT sectors
    EXPECT_EQ(test::Le32(l.header, 0x30), 8u);  // directory right after the stream
    EXPECT_EQ(test::Le32(l.header, 0x3C), 0xFFFFFFFEu);
    EXPECT_EQ(test::Le32(l.header, 0x44), 0xFFFFFFFEu);
    EXPECT_EQ(test::Le32(l.header, 0x4C), 9u);
    EXPECT_EQ(test::Le32(l.header, 0x50), 0xFFFFFFFFu);
    ASSERT_EQ(l.tail.size(), 2 * 512u);
    // Directory: root, Workbook, two unused entries.
    EXPECT_EQ(l.tail[0x42], 5);
    EXPECT_EQ(test::Le32(l.tail, 0x4C), 1u);
    EXPECT_EQ(test::Le16(l.tail, 128 + 0x40), 18);
    EXPECT_EQ(l.tail[128 + 0x42], 2);
    EXPECT_EQ(test::Le32(l.tail, 128 + 0x74), 0u);
    EXPECT_EQ(test::Le32(l.tail, 128 + 0x78), 4096u);
    EXPECT_EQ(test::Le32(l.tail, 256 + 0x44), 0xFFFFFFFFu);
    // FAT: 0..7 chained, directory and FAT marked, the rest free.
    for (uint32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(test::Le32(l.tail, 512 + 4 * i), i + 1);
    }
    EXPECT_EQ(test::Le32(l.tail, 512 + 4 * 7), 0xFFFFFFFEu);
    EXPECT_EQ(test::Le32(l.tail, 512 + 4 * 8), 0xFFFFFFFEu);
    EXPECT_EQ(test::Le32(l.tail, 512 + 4 * 9), 0xFFFFFFFDu);
    EXPECT_EQ(test::Le32(l.tail, 512 + 4 * 10), 0xFFFFFFFFu);
}

std::vector<uint8_t> AssembleFile(const cfb::Layout& l, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> file = l.header;
    file.insert(file.end(), stream.begin(), stream.end());
    file.resize(512 + static_cast<size_t>(l.streamSectors) * 512, 0);
    file.insert(file.end(), l.tail.begin(), l.tail.end());
    return file;
}

TEST(biff8_records_test, compound_file_beyond_109_fat_sectors_uses_a_difat_sector) {
    std::vector<uint8_t> stream(11 * 1000 * 1000);
    for (size_t i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    }
    cfb::Layout l;
    ASSERT_TRUE(cfb::LayOut(stream.size(), &l));
    uint32_t fat = test::Le32(l.header, 0x2C);
    EXPECT_GT(fat, 109u);
    EXPECT_EQ(test::Le32(l.header, 0x48), 1u);
    // Every sector of the file is covered by the FAT.
    uint32_t sectors = l.streamSectors + static_cast<uint32_t>(l.tail.size() / 512);
    EXPECT_GE(fat * 128, sectors);
    EXPECT_LT((fat - 1) * 128, sectors);
    auto file = AssembleFile(l, stream);
    EXPECT_EQ(test::WorkbookStream(file), stream);
}

TEST(biff8_records_test, compound_file_round_trips_streams_around_sector_edges) {
    for (size_t n : {4095u, 4096u, 4097u, 512u * 128 * 109 - 4000, 512u * 128 * 109 + 4000}) {
        std::vector<uint8_t> stream(n, 0x5A);
        stream.back() = 0x01;
        cfb::Layout l;
        ASSERT_TRUE(cfb::LayOut(n, &l));
        auto file = AssembleFile(l, stream);
        auto back = test::WorkbookStream(file);
        back.resize(std::max<size_t>(n, 1));
        EXPECT_EQ(back, stream) << n;
    }
}

}  // namespace
}  // namespace calc::io

// Texts keep their first ids through the index's growth, equal texts of
// other storage find them, texts differing in length or one character do
// not, and a cleared index starts over.
TEST(text_index_test, equal_texts_find_their_first_id_across_growth) {
    calc::io::TextIndex index;
    std::vector<std::wstring> texts;
    auto add = [&](const std::wstring& text) {
        const auto fresh = static_cast<uint32_t>(texts.size());
        const uint32_t id =
            index.findOrAdd(text, fresh, [&](uint32_t i) -> const std::wstring& { return texts[i]; });
        if (id == fresh) {
            texts.push_back(text);
        }
        return id;
    };
    for (uint32_t n = 0; n < 5000; ++n) {
        ASSERT_EQ(add(L"t" + std::to_wstring(n)), n);
    }
    ASSERT_EQ(add(L""), 5000u);
    for (uint32_t n = 0; n < 5000; n += 7) {
        ASSERT_EQ(add(std::wstring(L"t") + std::to_wstring(n)), n);
    }
    EXPECT_EQ(add(L""), 5000u);
    EXPECT_EQ(add(std::wstring(L"t1\0", 3)), 5001u);  // a length of its own
    EXPECT_EQ(add(L"u1"), 5002u);
    index.clear();
    texts.clear();
    EXPECT_EQ(add(L"t42"), 0u);
}
