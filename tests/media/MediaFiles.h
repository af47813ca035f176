#pragma once
// Builders for the small BMP, ICO and RIFF/WAVE files the media tests decode.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}
inline void Append16(Bytes& b, uint32_t v) { b.resize(b.size() + 2); Put16(b, b.size() - 2, v); }
inline void Append32(Bytes& b, uint32_t v) { b.resize(b.size() + 4); Put32(b, b.size() - 4, v); }
inline void AppendTag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

// BITMAPINFOHEADER with the given fields, the rest 0.
inline Bytes InfoHeader(int32_t width, int32_t height, uint32_t bits, uint32_t compression = 0,
                        uint32_t coloursUsed = 0) {
    Bytes b;
    Append32(b, 40);
    Append32(b, static_cast<uint32_t>(width));
    Append32(b, static_cast<uint32_t>(height));
    Append16(b, 1);
    Append16(b, bits);
    Append32(b, compression);
    for (int i = 0; i < 3; ++i) Append32(b, 0);
    Append32(b, coloursUsed);
    Append32(b, 0);
    return b;
}

inline size_t RowStride(int32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// A BMP file: header, `palette` (4 bytes per entry) and rows. `pixel(x, row)` gives the value of
// a pixel in the file's own row order (row 0 is stored first), packed per depth.
template <typename Pixel>
Bytes MakeBmp(int32_t width, int32_t height, uint32_t bits, const std::vector<uint32_t>& palette,
              Pixel pixel) {
    Bytes b(14, 0);
    b[0] = 'B';
    b[1] = 'M';
    Bytes info = InfoHeader(width, height, bits, 0, static_cast<uint32_t>(palette.size()));
    b.insert(b.end(), info.begin(), info.end());
    for (uint32_t c : palette) Append32(b, c);
    Put32(b, 10, static_cast<uint32_t>(b.size()));
    const int32_t rows = height < 0 ? -height : height;
    const size_t stride = RowStride(width, bits);
    for (int32_t r = 0; r < rows; ++r) {
        Bytes row(stride, 0);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = pixel(x, r);
            if (bits == 8) row[x] = v & 0xFF;
            else if (bits == 24) { row[x * 3] = v & 0xFF; row[x * 3 + 1] = (v >> 8) & 0xFF; row[x * 3 + 2] = (v >> 16) & 0xFF; }
            else if (bits == 32) Put32(row, x * 4, v);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

// An icon image: header (height doubled), palette, colour rows from `bgra(x, row)` (row 0 at the
// bottom) and an all-zero (opaque) mask.
template <typename Pixel>
Bytes MakeIconImage(int32_t size, uint32_t bits, Pixel bgra) {
    Bytes b = InfoHeader(size, size * 2, bits);
    if (bits <= 8) {
        for (uint32_t i = 0; i < (1u << bits); ++i) Append32(b, i == 1 ? 0x0000FF00 : 0);  // entry 1 green
    }
    const size_t stride = RowStride(size, bits);
    for (int32_t r = 0; r < size; ++r) {
        Bytes row(stride, 0);
        for (int32_t x = 0; x < size; ++x) {
            if (bits == 32) Put32(row, x * 4, bgra(x, r));
            else if (bits == 8) row[x] = 1;
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    b.resize(b.size() + RowStride(size, 1) * size, 0);
    return b;
}

struct IconEntry {
    uint8_t width, height;
    uint16_t bits;
    Bytes image;
};

inline Bytes MakeIco(const std::vector<IconEntry>& entries, uint32_t type = 1) {
    Bytes b;
    Append16(b, 0);
    Append16(b, type);
    Append16(b, static_cast<uint32_t>(entries.size()));
    size_t offset = 6 + 16 * entries.size();
    for (const IconEntry& e : entries) {
        b.push_back(e.width);
        b.push_back(e.height);
        b.push_back(0);
        b.push_back(0);
        Append16(b, 1);
        Append16(b, e.bits);
        Append32(b, static_cast<uint32_t>(e.image.size()));
        Append32(b, static_cast<uint32_t>(offset));
        offset += e.image.size();
    }
    for (const IconEntry& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
    return b;
}

// A RIFF/WAVE file of 8-bit mono PCM with the given chunks between "fmt " and "data".
inline Bytes MakeWave(const Bytes& samples, uint32_t rate = 22050,
                      const std::vector<std::pair<std::string, Bytes>>& extra = {}) {
    Bytes b;
    AppendTag(b, "RIFF");
    Append32(b, 0);
    AppendTag(b, "WAVE");
    AppendTag(b, "fmt ");
    Append32(b, 16);
    Append16(b, 1);
    Append16(b, 1);
    Append32(b, rate);
    Append32(b, rate);
    Append16(b, 1);
    Append16(b, 8);
    for (const auto& chunk : extra) {
        AppendTag(b, chunk.first.c_str());
        Append32(b, static_cast<uint32_t>(chunk.second.size()));
        b.insert(b.end(), chunk.second.begin(), chunk.second.end());
    }
    AppendTag(b, "data");
    Append32(b, static_cast<uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}
