#pragma once
#include <cstddef>
#include <cstdint>

// Little-endian fields of a file held in memory, read only when they lie wholly inside it.
// Offsets and lengths are 64-bit so that a header's sums cannot wrap around on a 32-bit build.
struct ByteView {
    const uint8_t* data;
    size_t size;

    bool Holds(uint64_t offset, uint64_t length) const {
        return offset <= size && length <= size - offset;
    }
    uint32_t U16(uint64_t offset) const {
        if (!Holds(offset, 2))
            return 0;
        const uint8_t* p = data + offset;
        return p[0] | (p[1] << 8);
    }
    uint32_t U32(uint64_t offset) const {
        if (!Holds(offset, 4))
            return 0;
        const uint8_t* p = data + offset;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
    int32_t I32(uint64_t offset) const { return static_cast<int32_t>(U32(offset)); }
    bool HasTag(uint64_t offset, const char (&tag)[5]) const {
        if (!Holds(offset, 4))
            return false;
        for (int i = 0; i < 4; ++i)
            if (data[offset + i] != static_cast<uint8_t>(tag[i]))
                return false;
        return true;
    }
};
