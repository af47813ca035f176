// The file seam over memory, so the page fuzzer feeds its input straight to the line reader
// without touching the disk. One "file" at a time is all the fuzzers need.
#include "fuzz/FuzzInput.h"
#include "toolkit/system/FileSys.h"

#include <cstring>

namespace {
struct MemoryFile {
    const uint8_t* data;
    size_t size;
    size_t position;
};
MemoryFile current;
}  // namespace

void FuzzSetFile(const uint8_t* data, size_t size) { current = {data, size, 0}; }

intptr_t FileSysOpenRead(const char* path) {
    return path ? reinterpret_cast<intptr_t>(&current) : 0;
}

int32_t FileSysRead(intptr_t handle, void* buffer, int32_t size) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    if (!file || size <= 0)
        return 0;
    size_t n = file->size - file->position;
    if (n > static_cast<size_t>(size))
        n = static_cast<size_t>(size);
    if (n)
        std::memcpy(buffer, file->data + file->position, n);
    file->position += n;
    return static_cast<int32_t>(n);
}

void FileSysClose(intptr_t) {}

int32_t FileSysTempPath(char* buffer, int32_t size) {
    const char path[] = "/tmp/";
    if (size <= static_cast<int32_t>(sizeof path - 1))
        return static_cast<int32_t>(sizeof path);
    std::memcpy(buffer, path, sizeof path);
    return static_cast<int32_t>(sizeof path - 1);
}
