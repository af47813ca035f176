#pragma once
#include <cstddef>

// The watcher's embedded files, each complete with its own headers, handed by address and
// length to the memory decoders. Made by make_resources.py.
extern const unsigned char IconIdle[];    // ICO, 16 x 16, 32-bit with alpha: red, idle
extern const size_t IconIdleSize;         // 1,150 bytes
extern const unsigned char IconNew[];     // ICO, 16 x 16, 32-bit with alpha: blue, new messages
extern const size_t IconNewSize;          // 1,150 bytes
extern const unsigned char AlertSound[];  // RIFF/WAVE, 8-bit mono PCM, 22,050 Hz
extern const size_t AlertSoundSize;       // 53,028 bytes
