#pragma once
#include <cstdint>

// Numbered files read line by line through a 4096-byte buffer of their own.
constexpr int32_t FileBufferSize = 4096;
void FileInit();
void FileCloseAll();
intptr_t FileOpenRead(int32_t number,
                      const char* path);  // native handle, or chosen number for -1; 0 on failure
int32_t FileAtEnd(int32_t number);        // 1 when no byte is left; 0 also for no file
char* FileReadLine(int32_t number,
                   int32_t pos);  // next line without its ending, in the scratch area
void FileClose(int32_t number);
char* TempDirectory(int32_t pos);  // ends with the path separator; "" on failure
