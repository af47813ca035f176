#include "toolkit/media/RiffParse.h"

#include "toolkit/media/Bytes.h"

constexpr uint64_t RiffHeaderBytes = 8;  // "RIFF" and the size of what follows
constexpr uint64_t FormatChunkAt = 12;   // right after the form type
constexpr uint64_t FormatBlockAt = 20;
constexpr uint64_t ChunkHeaderBytes = 8;  // id and size
constexpr uint32_t PcmFormatBytes = 16;   // WAVEFORMAT and the sample size: the least we take
constexpr uint32_t FormatExBytes = 18;    // WAVEFORMATEX up to and including cbSize
constexpr uint32_t PcmTag = 1;

bool RiffFindWave(const void* data, size_t size, WaveLayout* layout) {
    if (!data || !layout)
        return false;
    const ByteView file{static_cast<const uint8_t*>(data), size};
    if (!file.HasTag(0, "RIFF") || !file.HasTag(FormatChunkAt, "fmt "))
        return false;
    // A file cut short, or padded with something else after its declared end, is read only as
    // far as both agree.
    uint64_t end = RiffHeaderBytes + file.U32(4);
    if (end > size)
        end = size;
    const ByteView riff{file.data, static_cast<size_t>(end)};

    const uint32_t formatSize = riff.U32(FormatChunkAt + 4);
    if (formatSize < PcmFormatBytes || !riff.Holds(FormatBlockAt, formatSize))
        return false;
    // Beyond PCM the device reads cbSize more bytes after the WAVEFORMATEX; they must be ours.
    if (riff.U16(FormatBlockAt) != PcmTag && formatSize >= FormatExBytes &&
        FormatExBytes + uint64_t{riff.U16(FormatBlockAt + 16)} > formatSize)
        return false;

    // Chunks follow one another without pad bytes after odd sizes, as the files we play are
    // written; a walk that runs off the end finds no samples.
    uint64_t at = FormatBlockAt + formatSize;
    while (riff.Holds(at, ChunkHeaderBytes)) {
        const uint32_t chunkSize = riff.U32(at + 4);
        if (riff.HasTag(at, "data")) {
            if (chunkSize == 0 || !riff.Holds(at + ChunkHeaderBytes, chunkSize))
                return false;
            layout->formatOffset = FormatBlockAt;
            layout->formatSize = formatSize;
            layout->dataOffset = static_cast<size_t>(at + ChunkHeaderBytes);
            layout->dataSize = chunkSize;
            return true;
        }
        at += ChunkHeaderBytes + chunkSize;
    }
    return false;
}
