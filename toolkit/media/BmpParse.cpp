#include "toolkit/media/BmpParse.h"

#include "toolkit/media/Bytes.h"

constexpr uint64_t FileHeaderBytes = BmpFileHeaderBytes;
constexpr uint32_t InfoHeaderBytes = BmpInfoHeaderBytes;  // the older core header is not read
constexpr uint32_t MaskBytes = 12;        // the three BI_BITFIELDS masks after a 40-byte header
constexpr int32_t MaxSide = 16384;        // far beyond any picture we show; keeps sums small

enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3 };

bool BmpIsBitmap(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    return p && size >= 2 && p[0] == 'B' && p[1] == 'M';
}

static bool DepthKnown(uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Bytes of colour table the pixel transfer may read: the declared number of entries, or for
// palette depths the full palette when none is declared.
static uint64_t ColourTableBytes(uint32_t bits, uint32_t used) {
    if (used == 0 && bits <= 8)
        used = 1u << bits;
    return uint64_t{used} * 4;
}

// Bytes of pixel data the transfer reads: whole rows for uncompressed data; for run-length
// data, the compressed size the header declares (a decoder stops there).
static bool PixelBytes(const ByteView& file, const BmpLayout& l, uint32_t compression,
                       uint64_t* bytes) {
    const uint32_t declared = file.U32(FileHeaderBytes + 20);  // biSizeImage
    switch (compression) {
    case BiRgb:
    case BiBitfields: {
        const uint64_t stride = BmpRowStride(static_cast<uint32_t>(l.width), l.bitCount);
        const int64_t rows = l.height < 0 ? -int64_t{l.height} : l.height;
        *bytes = stride * static_cast<uint64_t>(rows);
        return compression == BiRgb || l.bitCount == 16 || l.bitCount == 32;
    }
    case BiRle8:
    case BiRle4:
        *bytes = declared;
        return declared != 0 && l.height > 0 && l.bitCount == (compression == BiRle8 ? 8 : 4);
    default:
        return false;  // embedded JPEG or PNG: not for a DIB section
    }
}

bool BmpInspect(const void* data, size_t size, BmpLayout* layout) {
    if (!BmpIsBitmap(data, size) || !layout)
        return false;
    const ByteView file{static_cast<const uint8_t*>(data), size};
    const uint32_t headerSize = file.U32(FileHeaderBytes);
    if (headerSize < InfoHeaderBytes || !file.Holds(FileHeaderBytes, headerSize))
        return false;

    BmpLayout l{};
    l.width = file.I32(18);
    l.height = file.I32(22);
    l.bitCount = static_cast<uint16_t>(file.U16(28));
    l.targetBits = l.bitCount < 24 ? 24 : l.bitCount;
    l.infoOffset = FileHeaderBytes;
    if (l.width <= 0 || l.width > MaxSide || l.height == 0 || l.height > MaxSide ||
        l.height < -MaxSide || !DepthKnown(l.bitCount))
        return false;

    const uint32_t compression = file.U32(30);
    uint64_t info = headerSize + ColourTableBytes(l.bitCount, file.U32(46));
    if (compression == BiBitfields && headerSize == InfoHeaderBytes)
        info += MaskBytes;
    if (!file.Holds(FileHeaderBytes, info))
        return false;

    uint64_t pixels = 0;
    const uint32_t pixelOffset = file.U32(10);
    if (!PixelBytes(file, l, compression, &pixels) || !file.Holds(pixelOffset, pixels))
        return false;
    l.pixelOffset = pixelOffset;
    *layout = l;
    return true;
}

bool PixelsHaveAlpha(const uint8_t* pixels, int32_t width, int32_t rows, size_t stride) {
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x)
            if (row[x * 4 + 3] != 0)
                return true;
    }
    return false;
}

void PixelsMakeOpaque(uint8_t* pixels, int32_t width, int32_t rows, size_t stride) {
    for (int32_t y = 0; y < rows; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x)
            row[x * 4 + 3] = 0xFF;
    }
}
