#pragma once
// Builders for the small BMP and ICO files the media tests decode.
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little-endian values of 1 to 4 bytes: written at a place, added at the end, read back.
inline void Put(Bytes& b, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
inline void Add(Bytes& b, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline uint32_t Get(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// An uncompressed BITMAPINFOHEADER declaring `height`, the colour table, and `rows` rows of
// `pixel(x, row)` in the file's own order, each padded to four bytes.
template <typename Pixel>
void AddBitmap(Bytes& b, int32_t width, int32_t height, int32_t rows, uint32_t bits,
               const std::vector<uint32_t>& palette, Pixel pixel) {
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1 | bits << 16, 0u, 0u, 0u, 0u,
                       uint32_t(palette.size()), 0u})
        Add(b, v);
    for (uint32_t c : palette)
        Add(b, c);
    for (int32_t r = 0; r < rows; ++r) {
        Bytes row((width * bits + 31) / 32 * 4, 0);
        for (int32_t x = 0; x < width; ++x)
            Put(row, x * bits / 8, pixel(x, r), bits / 8);
        b.insert(b.end(), row.begin(), row.end());
    }
}

// A BMP file of 8, 24 or 32 bits; a negative height stores the rows top-down.
template <typename Pixel>
Bytes MakeBmp(int32_t width, int32_t height, uint32_t bits, const std::vector<uint32_t>& palette,
              Pixel pixel) {
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};  // the file's size (put last), reserved
    Add(b, uint32_t(54 + 4 * palette.size()));
    AddBitmap(b, width, height, std::abs(height), bits, palette, pixel);
    Put(b, 2, uint32_t(b.size()));
    return b;
}

// An ICO file of green, opaque square images of 24 or 32 bits, given as (side, bits).
inline Bytes MakeIco(const std::vector<std::pair<int32_t, uint32_t>>& images) {
    Bytes b, data;
    for (uint32_t v : {0u, 1u, uint32_t(images.size())})
        Add(b, v, 2);
    for (const auto& i : images) {
        const size_t at = data.size();
        AddBitmap(data, i.first, 2 * i.first, i.first, i.second, {},
                  [](int32_t, int32_t) { return 0xFF00FF00u; });
        data.resize(data.size() + (i.first + 31) / 32 * 4 * i.first, 0);  // the mask rows
        Add(b, uint32_t(i.first) * 0x101);  // width, height, no palette
        Add(b, 1 | i.second << 16);         // planes, bits
        for (size_t v : {data.size() - at, 6 + 16 * images.size() + at})
            Add(b, uint32_t(v));
    }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}
