#include "platform/calc/io/ParallelDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace calc::io {
namespace {

// zlib's reading of a raw deflate stream, or "<error N>".
std::string Inflate(const std::string& compressed) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    std::string out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        char buf[65536];
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : "<error " + std::to_string(rc) + ">";
}

// Text a sheet might hold, with stretches of noise that do not compress.
std::string Sample(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s;
    while (s.size() < size) {
        if (random() % 8 == 0) {
            for (int i = 0; i < 3000; ++i) {
                s += static_cast<char>(random());
            }
        } else {
            s += "<c r=\"B" + std::to_string(random() % 100000) + "\" s=\"3\"><v>" +
                 std::to_string(random()) + "</v></c>";
        }
    }
    s.resize(size);
    return s;
}

TEST(parallel_deflate_test, pieces_written_and_made_later_join_into_one_stream) {
    for (const unsigned threads : {1u, 2u, 3u}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        std::string compressed;
        ParallelDeflate deflate(
            [&](const uint8_t* p, size_t n) {
                compressed.append(reinterpret_cast<const char*>(p), n);
                return true;
            },
            threads);
        std::string expected;
        auto write = [&](const std::string& s) {
            deflate.write(s);
            expected += s;
        };
        auto defer = [&](const std::string& s) {
            deflate.defer(s.size() + 100, [s](uint8_t* piece) {
                std::copy(s.begin(), s.end(), piece);
                return s.size();
            });
            expected += s;
        };
        defer(Sample(5000, 1));  // before anything is written
        write("<header/>");
        for (int i = 0; i < 2000; ++i) {  // small pieces across chunk boundaries
            const std::string cell = Sample(1 + i % 1500, static_cast<unsigned>(i));
            std::copy(cell.begin(), cell.end(), deflate.room(cell.size()));
            deflate.advance(cell.size());
            expected += cell;
        }
        defer(Sample(700000, 2));
        defer("");
        defer(Sample(3 << 20, 3));  // larger than a chunk
        write(Sample(5 << 20, 4));
        defer(Sample(100, 5));  // the last piece made, nothing written after
        ASSERT_TRUE(deflate.finish());
        EXPECT_EQ(deflate.size(), expected.size());
        EXPECT_EQ(deflate.crc(), crc32(0, reinterpret_cast<const Bytef*>(expected.data()),
                                       static_cast<uInt>(expected.size())));
        EXPECT_EQ(deflate.compressedSize(), compressed.size());
        EXPECT_LT(compressed.size(), expected.size());
        EXPECT_TRUE(Inflate(compressed) == expected);
    }

    std::string empty;
    ParallelDeflate nothing([&](const uint8_t* p, size_t n) {
        empty.append(reinterpret_cast<const char*>(p), n);
        return true;
    });
    ASSERT_TRUE(nothing.finish());
    EXPECT_EQ(Inflate(empty), "");
    EXPECT_EQ(nothing.crc(), 0u);

    // A destination that stops taking bytes fails the stream.
    int calls = 0;
    ParallelDeflate refused([&](const uint8_t*, size_t) { return ++calls < 2; }, 2);
    refused.write(Sample(8 << 20, 6));
    EXPECT_FALSE(refused.finish());
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace calc::io
