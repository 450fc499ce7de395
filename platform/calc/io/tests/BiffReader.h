// A small independent reader for the tests: follows the compound file's FAT to the
// Workbook stream, splits it into records and decodes the shared string table.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace calc::io::test {

inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    if (at + 2 > b.size()) {
        throw std::runtime_error("read past end");
    }
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(Le16(b, at)) | (static_cast<uint32_t>(Le16(b, at + 2)) << 16);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The Workbook stream of a version 3 compound file with regular sectors only.
inline std::vector<uint8_t> WorkbookStream(const std::vector<uint8_t>& file) {
    if (file.size() < 1024 || (file.size() - 512) % 512 != 0) {
        throw std::runtime_error("not whole sectors");
    }
    auto sector = [&](uint32_t id) { return 512 + static_cast<size_t>(id) * 512; };
    uint32_t nFat = Le32(file, 0x2C);
    std::vector<uint32_t> fatSectors;
    for (uint32_t k = 0; k < nFat && k < 109; ++k) {
        fatSectors.push_back(Le32(file, 0x4C + 4 * k));
    }
    uint32_t difat = Le32(file, 0x44);
    while (fatSectors.size() < nFat && difat < 0xFFFFFFFA) {
        for (uint32_t k = 0; k < 127 && fatSectors.size() < nFat; ++k) {
            fatSectors.push_back(Le32(file, sector(difat) + 4 * k));
        }
        difat = Le32(file, sector(difat) + 4 * 127);
    }
    std::vector<uint32_t> fat;
    for (uint32_t s : fatSectors) {
        for (uint32_t k = 0; k < 128; ++k) {
            fat.push_back(Le32(file, sector(s) + 4 * k));
        }
    }
    size_t dir = sector(Le32(file, 0x30));
    for (size_t e = 0; e < 4; ++e) {
        size_t at = dir + e * 128;
        std::u16string name;
        for (size_t k = 0; k + 2 < Le16(file, at + 0x40); k += 2) {
            name += static_cast<char16_t>(Le16(file, at + k));
        }
        if (name != u"Workbook") {
            continue;
        }
        uint32_t id = Le32(file, at + 0x74);
        uint32_t size = Le32(file, at + 0x78);
        std::vector<uint8_t> out;
        std::vector<bool> seen(fat.size(), false);
        while (id != 0xFFFFFFFE) {
            if (id >= fat.size() || seen[id]) {
                throw std::runtime_error("broken chain");
            }
            seen[id] = true;
            out.insert(out.end(), file.begin() + static_cast<ptrdiff_t>(sector(id)),
                       file.begin() + static_cast<ptrdiff_t>(sector(id) + 512));
            id = fat[id];
        }
        if (out.size() < size) {
            throw std::runtime_error("chain shorter than the stream");
        }
        out.resize(size);
        return out;
    }
    throw std::runtime_error("no Workbook stream");
}

struct Record {
    uint16_t id;
    size_t offset;  // of the record header in the stream
    std::vector<uint8_t> body;
};

inline std::vector<Record> Records(const std::vector<uint8_t>& stream) {
    std::vector<Record> out;
    size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        uint16_t id = Le16(stream, pos);
        uint16_t len = Le16(stream, pos + 2);
        if (id == 0 && len == 0) {
            break;  // padding after the last EOF
        }
        if (pos + 4 + len > stream.size()) {
            throw std::runtime_error("record past the end of the stream");
        }
        out.push_back({id, pos,
                       std::vector<uint8_t>(stream.begin() + static_cast<ptrdiff_t>(pos + 4),
                                            stream.begin() + static_cast<ptrdiff_t>(pos + 4 + len))});
        pos += 4 + len;
    }
    return out;
}

// Strings of the SST record at records[i] and its CONTINUE records.
// The index of the first record with this id, or records.size() when there is none.
inline size_t FindRecord(const std::vector<Record>& records, uint16_t id) {
    size_t at = 0;
    while (at < records.size() && records[at].id != id) {
        ++at;
    }
    return at;
}

inline std::vector<std::u16string> DecodeSst(const std::vector<Record>& records, size_t i) {
    std::vector<std::vector<uint8_t>> parts{records[i].body};
    for (size_t k = i + 1; k < records.size() && records[k].id == 0x003C; ++k) {
        parts.push_back(records[k].body);
    }
    size_t part = 0, pos = 8;
    uint32_t count = Le32(parts[0], 4);
    std::vector<std::u16string> out;
    auto need = [&](size_t n) {
        if (pos + n > parts[part].size()) {
            throw std::runtime_error("string header split across records");
        }
    };
    for (uint32_t s = 0; s < count; ++s) {
        if (pos == parts[part].size()) {
            ++part;
            pos = 0;
            if (part == parts.size()) {
                throw std::runtime_error("SST ends early");
            }
        }
        need(3);
        uint16_t cch = Le16(parts[part], pos);
        bool wide = parts[part][pos + 2] & 1;
        pos += 3;
        std::u16string str;
        while (str.size() < cch) {
            if (pos == parts[part].size()) {
                ++part;
                pos = 0;
                if (part == parts.size()) {
                    throw std::runtime_error("SST ends inside a string");
                }
                wide = parts[part][pos] & 1;  // the continued part restates its width
                ++pos;
            }
            if (wide) {
                need(2);
                str += static_cast<char16_t>(Le16(parts[part], pos));
                pos += 2;
            } else {
                need(1);
                str += static_cast<char16_t>(parts[part][pos]);
                pos += 1;
            }
        }
        out.push_back(std::move(str));
    }
    return out;
}

}  // namespace calc::io::test
