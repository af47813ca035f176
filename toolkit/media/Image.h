#pragma once
#include <cstddef>
#include <cstdint>

// Images decoded from a BMP or ICO file held in memory. `size` is the number of bytes the data
// holds: nothing beyond it is read, whatever the file's headers claim.
void ImageInit();
intptr_t ImageFromMemory(int32_t number, const void* data,
                         size_t size);  // handle (or chosen number for -1); 0 on failure
void ImageFree(int32_t number);
void ImageFreeAll();
