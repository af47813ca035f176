#pragma once
#include <cstddef>
#include <cstdint>

int32_t SoundInit();  // non-zero when output is ready
intptr_t SoundFromMemory(int32_t number, const void* data,
                         size_t size);  // buffer (or chosen number); 0 on failure
int32_t SoundPlay(int32_t number);      // 1 when playing started
void SoundFree(int32_t number);
void SoundFreeAll();
