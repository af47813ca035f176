#include "toolkit/media/IcoParse.h"

#include "toolkit/media/BmpParse.h"
#include "toolkit/media/Bytes.h"

constexpr uint64_t DirectoryBytes = 6;
constexpr uint64_t EntryBytes = 16;
constexpr uint32_t IconType = 1;
constexpr uint32_t InfoHeaderBytes = BmpInfoHeaderBytes;
constexpr int32_t MaxSide = 256;  // the largest an icon directory can describe
constexpr uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool IcoIsIcon(const void* data, size_t size) {
    const ByteView file{static_cast<const uint8_t*>(data), data ? size : 0};
    return file.Holds(0, DirectoryBytes) && file.U16(0) == 0 && file.U16(2) == IconType;
}

// Entries of the first entry's size compete on depth; ties keep the earlier entry, and other
// sizes never win, so a small icon is not made by shrinking a large one.
static uint64_t ChooseEntry(const ByteView& file, uint32_t count) {
    uint64_t chosen = DirectoryBytes;
    for (uint32_t i = 1; i < count; ++i) {
        const uint64_t entry = DirectoryBytes + i * EntryBytes;
        if (file.data[entry] == file.data[chosen] &&
            file.data[entry + 1] == file.data[chosen + 1] &&
            file.U16(entry + 6) > file.U16(chosen + 6))
            chosen = entry;
    }
    return chosen;
}

static bool IsPng(const ByteView& image) {
    if (!image.Holds(0, sizeof PngSignature))
        return false;
    for (size_t i = 0; i < sizeof PngSignature; ++i)
        if (image.data[i] != PngSignature[i])
            return false;
    return true;
}

// A bitmap image must hold its header, colour table, colour rows and mask rows: the icon is
// built from a copy of exactly these bytes, and nothing may be read past the copy.
static bool InspectBitmapImage(const ByteView& image, IcoImage* out) {
    const uint32_t headerSize = image.U32(0);
    if (headerSize < InfoHeaderBytes || !image.Holds(0, headerSize))
        return false;
    const int32_t width = image.I32(4);
    const int32_t height = image.I32(8) / 2;  // colour rows and mask rows
    const uint32_t bits = image.U16(14);
    if (width <= 0 || width > MaxSide || height <= 0 || height > MaxSide || image.U32(16) != 0)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    uint32_t colours = image.U32(32);
    if (colours == 0 && bits <= 8)
        colours = 1u << bits;
    const uint64_t colourStride = BmpRowStride(static_cast<uint32_t>(width), bits);
    const uint64_t maskStride = BmpRowStride(static_cast<uint32_t>(width), 1);
    const uint64_t need = headerSize + uint64_t{colours} * 4 + (colourStride + maskStride) * height;
    if (!image.Holds(0, need))
        return false;
    out->width = width;
    out->height = height;
    out->bitCount = static_cast<uint16_t>(bits);
    return true;
}

bool IcoChooseImage(const void* data, size_t size, IcoImage* image) {
    if (!IcoIsIcon(data, size) || !image)
        return false;
    const ByteView file{static_cast<const uint8_t*>(data), size};
    const uint32_t count = file.U16(4);
    if (count == 0 || !file.Holds(DirectoryBytes, uint64_t{count} * EntryBytes))
        return false;

    const uint64_t entry = ChooseEntry(file, count);
    const uint32_t bytes = file.U32(entry + 8);
    const uint32_t offset = file.U32(entry + 12);
    if (bytes == 0 || !file.Holds(offset, bytes))
        return false;
    const ByteView picture{file.data + offset, bytes};

    IcoImage chosen{};
    chosen.offset = offset;
    chosen.size = bytes;
    if (IsPng(picture)) {
        // A PNG carries no BITMAPINFOHEADER; the directory's bytes give its size, 0 meaning 256.
        chosen.width = file.data[entry] ? file.data[entry] : MaxSide;
        chosen.height = file.data[entry + 1] ? file.data[entry + 1] : MaxSide;
    } else if (!InspectBitmapImage(picture, &chosen)) {
        return false;
    }
    *image = chosen;
    return true;
}
