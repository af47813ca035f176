#pragma once
// Builders for the small BMP, ICO and RIFF/WAVE files the media tests decode.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
inline void Append16(Bytes& b, uint32_t v) { b.resize(b.size() + 2); Put16(b, b.size() - 2, v); }
inline void Append32(Bytes& b, uint32_t v) { b.resize(b.size() + 4); Put32(b, b.size() - 4, v); }
// Byte by byte: copying four bytes out of a literal upsets GCC 12's overflow warning.
inline void AppendTag(Bytes& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}

// BITMAPINFOHEADER, uncompressed, the fields not given 0.
inline Bytes InfoHeader(int32_t width, int32_t height, uint32_t bits, uint32_t coloursUsed = 0) {
    Bytes b;
    Append32(b, 40);
    Append32(b, static_cast<uint32_t>(width));
    Append32(b, static_cast<uint32_t>(height));
    Append16(b, 1);
    Append16(b, bits);
    for (uint32_t v : {0u, 0u, 0u, 0u, coloursUsed, 0u}) Append32(b, v);
    return b;
}

inline size_t RowStride(int32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// Rows padded to four bytes, each pixel `pixel(x, row)` stored little-endian in bits / 8 bytes.
template <typename Pixel>
void AppendRows(Bytes& b, int32_t width, int32_t rows, uint32_t bits, Pixel pixel) {
    for (int32_t r = 0; r < rows; ++r) {
        Bytes row(RowStride(width, bits), 0);
        for (int32_t x = 0; x < width; ++x)
            for (uint32_t k = 0; k < bits / 8; ++k)
                row[x * (bits / 8) + k] = (pixel(x, r) >> (8 * k)) & 0xFF;
        b.insert(b.end(), row.begin(), row.end());
    }
}

// A BMP file of 8, 24 or 32 bits: `palette` holds 4 bytes per entry, `pixel(x, row)` gives a
// pixel in the file's own row order (row 0 is stored first).
template <typename Pixel>
Bytes MakeBmp(int32_t width, int32_t height, uint32_t bits, const std::vector<uint32_t>& palette,
              Pixel pixel) {
    Bytes b(14, 0);
    b[0] = 'B';
    b[1] = 'M';
    const Bytes info = InfoHeader(width, height, bits, static_cast<uint32_t>(palette.size()));
    b.insert(b.end(), info.begin(), info.end());
    for (uint32_t c : palette) Append32(b, c);
    Put32(b, 10, static_cast<uint32_t>(b.size()));
    AppendRows(b, width, height < 0 ? -height : height, bits, pixel);
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

// An icon image of 8 or 32 bits, every pixel green and opaque (an all-zero mask); the 8-bit one
// gets its green from palette entry 1.
inline Bytes MakeIconImage(int32_t size, uint32_t bits) {
    Bytes b = InfoHeader(size, size * 2, bits);
    if (bits == 8)
        for (uint32_t i = 0; i < 256; ++i) Append32(b, i == 1 ? 0x0000FF00 : 0);
    const uint32_t green = bits == 8 ? 1 : 0xFF00FF00;
    AppendRows(b, size, size, bits, [green](int32_t, int32_t) { return green; });
    b.resize(b.size() + RowStride(size, 1) * size, 0);
    return b;
}

struct IconEntry {
    uint8_t width, height;
    uint16_t bits;
    Bytes image;
};
inline IconEntry Icon(uint8_t size, uint16_t bits) {
    return {size, size, bits, MakeIconImage(size, bits)};
}

inline Bytes MakeIco(const std::vector<IconEntry>& entries, uint32_t type = 1) {
    Bytes b;
    for (uint32_t v : {0u, type, static_cast<uint32_t>(entries.size())}) Append16(b, v);
    size_t offset = 6 + 16 * entries.size();
    for (const IconEntry& e : entries) {
        for (uint8_t v : {e.width, e.height, uint8_t(0), uint8_t(0)}) b.push_back(v);
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
    // Size 16; PCM, mono; sample and byte rates; 1-byte frames of 8 bits.
    for (uint32_t v : {16u, 0x00010001u, rate, rate, 0x00080001u}) Append32(b, v);
    auto chunk = [&b](const char* tag, const Bytes& body) {
        AppendTag(b, tag);
        Append32(b, static_cast<uint32_t>(body.size()));
        b.insert(b.end(), body.begin(), body.end());
    };
    for (const auto& c : extra) chunk(c.first.c_str(), c.second);
    chunk("data", samples);
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}
