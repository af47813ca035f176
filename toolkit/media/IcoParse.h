#pragma once
#include <cstddef>
#include <cstdint>

// The image an ICO file held in memory offers for a 16 x 16 (or any single-size) icon: the
// deepest entry of the first entry's size, checked to lie wholly inside the data.
struct IcoImage {
    size_t offset;  // from the start of the file
    size_t size;    // bytes in the resource
    int32_t width;  // the image's own size, so the icon is made without scaling
    int32_t height;
    uint16_t bitCount;  // of the image's own header; 0 for a PNG image
};

bool IcoIsIcon(const void* data, size_t size);  // reserved 0, type 1 (cursors are type 2)
bool IcoChooseImage(const void* data, size_t size, IcoImage* image);
