// The header walks of the image and sound decoders. Each is handed a copy of exactly the
// input's bytes, so AddressSanitizer stops any read past the end; what a walk accepts must lie
// wholly inside the data.
#include <cstring>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "toolkit/media/BmpParse.h"
#include "toolkit/media/IcoParse.h"
#include "toolkit/media/RiffParse.h"

static bool Inside(size_t offset, size_t length, size_t size) {
    return offset <= size && length <= size - offset;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The walks read their input in place: a private copy of the exact size makes every byte
    // beyond it a poisoned one.
    std::vector<uint8_t> copy(data, data + size);
    const uint8_t* bytes = copy.empty() ? nullptr : copy.data();

    IcoImage icon{};
    if (IcoChooseImage(bytes, size, &icon)) {
        FUZZ_CHECK(IcoIsIcon(bytes, size));
        FUZZ_CHECK(icon.size > 0 && Inside(icon.offset, icon.size, size));
        FUZZ_CHECK(icon.width > 0 && icon.height > 0);
    }

    BmpLayout bmp{};
    if (BmpInspect(bytes, size, &bmp)) {
        FUZZ_CHECK(BmpIsBitmap(bytes, size));
        FUZZ_CHECK(bmp.width > 0 && bmp.height != 0);
        FUZZ_CHECK(bmp.pixelOffset < size && bmp.infoOffset < size);
        FUZZ_CHECK(bmp.targetBits >= 24 && bmp.targetBits >= bmp.bitCount);
        // Uncompressed rows, each padded to four bytes, are read whole: all of them must be there.
        const size_t stride = BmpRowStride(uint32_t(bmp.width), bmp.bitCount);
        const size_t rows = size_t(bmp.height < 0 ? -int64_t{bmp.height} : bmp.height);
        FUZZ_CHECK(bytes[BmpFileHeaderBytes + 16] != 0 ||  // biCompression
                   Inside(bmp.pixelOffset, stride * rows, size));
        // So are the header and the colour table, which the system reads with the rows.
        uint32_t header, used;
        std::memcpy(&header, bytes + BmpFileHeaderBytes, 4);
        std::memcpy(&used, bytes + BmpFileHeaderBytes + 32, 4);
        const uint64_t colours = used ? used : bmp.bitCount <= 8 ? 1u << bmp.bitCount : 0;
        FUZZ_CHECK(Inside(BmpFileHeaderBytes, header + colours * 4, size));
    }

    WaveLayout wave{};
    if (RiffFindWave(bytes, size, &wave)) {
        FUZZ_CHECK(std::memcmp(bytes, "RIFF", 4) == 0);
        FUZZ_CHECK(wave.formatSize >= 16 && Inside(wave.formatOffset, wave.formatSize, size));
        FUZZ_CHECK(wave.dataSize > 0 && Inside(wave.dataOffset, wave.dataSize, size));
    }
    return 0;
}
