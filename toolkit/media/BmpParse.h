#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint64_t BmpFileHeaderBytes = 14;  // BITMAPFILEHEADER, before the BITMAPINFO
constexpr uint32_t BmpInfoHeaderBytes = 40;  // BITMAPINFOHEADER, as BMP files and icons hold it

// Bytes of one row of `bits`-deep pixels, padded to four bytes as every DIB row is.
constexpr uint64_t BmpRowStride(uint32_t width, uint32_t bits) {
    return (uint64_t{width} * bits + 31) / 32 * 4;
}

// What the decoder needs from a BMP file held in memory, after checking that everything the
// pixel transfer will read (header, colour table, pixel rows) lies inside the data.
struct BmpLayout {
    int32_t width;        // pixels, positive
    int32_t height;       // as stored: negative for rows stored top-down
    uint16_t bitCount;    // the file's depth
    uint16_t targetBits;  // the bitmap's depth: 24 for files below 24 bits, else the file's
    size_t infoOffset;    // BITMAPINFO (header and colour table), 14 bytes into the file
    size_t pixelOffset;   // first byte of the pixel rows
};

bool BmpIsBitmap(const void* data, size_t size);  // the "BM" signature
bool BmpInspect(const void* data, size_t size, BmpLayout* layout);

// 32-bit pixels whose alpha bytes are all zero were written without an alpha channel; the
// decoder then makes them opaque. `stride` is the distance between rows in bytes.
bool PixelsHaveAlpha(const uint8_t* pixels, int32_t width, int32_t rows, size_t stride);
void PixelsMakeOpaque(uint8_t* pixels, int32_t width, int32_t rows, size_t stride);
