#pragma once
// Builders for the small ICO files the media tests decode.
#include <cstdint>
#include <utility>
#include <vector>

#include "toolkit/media/BmpParse.h"

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

// An ICO file of green, opaque square images of 24 or 32 bits, given as (side, bits). Sides are
// multiples of four, so no row needs padding.
inline Bytes MakeIco(const std::vector<std::pair<int32_t, uint32_t>>& images) {
    Bytes b, data;
    for (uint32_t v : {0u, 1u, uint32_t(images.size())})
        Add(b, v, 2);
    for (const auto& [side, bits] : images) {
        const size_t at = data.size();
        // BITMAPINFOHEADER of the colour and mask rows together, then the colour rows
        for (uint32_t v :
             {BmpInfoHeaderBytes, uint32_t(side), uint32_t(2 * side), 1 | bits << 16, 0u, 0u, 0u, 0u, 0u, 0u})
            Add(data, v);
        for (int32_t i = 0; i < side * side; ++i)
            Add(data, 0xFF00FF00u, bits / 8);
        data.resize(data.size() + BmpRowStride(uint32_t(side), 1) * side, 0);  // the mask rows
        Add(b, uint32_t(side) * 0x101);                             // width, height, no palette
        Add(b, 1 | bits << 16);                                     // planes, bits
        for (size_t v : {data.size() - at, 6 + 16 * images.size() + at})
            Add(b, uint32_t(v));
    }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}
