#pragma once
#include <cstddef>
#include <cstdint>

// Where the format block and the samples of a RIFF/WAVE file held in memory lie.
struct WaveLayout {
    size_t formatOffset;  // a WAVEFORMATEX as stored, 20 bytes into the file
    size_t formatSize;    // the "fmt " chunk's size; at least 16, and holding cbSize's extra bytes
    size_t dataOffset;    // first sample byte
    size_t dataSize;      // sample bytes; non-zero
};

// False unless the file starts "RIFF", its first chunk is "fmt " and a "data" chunk follows
// within both `size` and the RIFF size the file declares, with all of its samples.
bool RiffFindWave(const void* data, size_t size, WaveLayout* layout);
