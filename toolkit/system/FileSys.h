#pragma once
#include <cstdint>

// The platform's side of file reading, kept thin so the line splitting above it runs
// everywhere. An open file is an opaque nonzero handle value.
intptr_t FileSysOpenRead(const char* path);  // 0 on failure
int32_t FileSysRead(intptr_t handle, void* buffer,
                    int32_t size);  // bytes read; 0 at end or on failure
void FileSysClose(intptr_t handle);
// Writes the temporary directory, ending with the path separator, into buffer (size bytes) and
// returns its length. A result of size or more means it did not fit and nothing usable was
// written; 0 means failure.
int32_t FileSysTempPath(char* buffer, int32_t size);
