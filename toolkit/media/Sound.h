#pragma once
#include <cstddef>
#include <cstdint>

// Sounds keep their own copy of the file; the sound device is opened when one plays and let go
// once it has played, so a device that appears, or comes back, later is found then. A thread of
// the toolkit's own does that, so that playing never waits for the device.
int32_t SoundInit();  // non-zero when DirectSound is there to ask and the sound thread runs
intptr_t SoundFromMemory(int32_t number, const void* data,
                         size_t size);  // handle (or chosen number); 0 on failure
int32_t SoundPlay(int32_t number);      // 1 when the play was taken; returns at once
void SoundFree(int32_t number);
void SoundFreeAll();  // stops the sound thread first
