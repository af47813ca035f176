#pragma once
#include <cstdint>

// Texts are zero-terminated Windows-1251 bytes, positions are 1-based, and a null text behaves
// as "". Operations that return char* build their result in the scratch area at `pos`.
int32_t StrLen(const char* text);
int32_t StrFind(const char* text, const char* needle, int32_t start);  // 0 = none
char* StrLeft(const char* text, int32_t n, int32_t pos);
char* StrRight(const char* text, int32_t n, int32_t pos);
char* StrRemove(const char* text, const char* needle, int32_t pos);  // every occurrence, one pass
int32_t StrCount(const char* text, const char* needle);              // without overlap
char* StrFromInt(int64_t value, int32_t pos);
bool StrEqual(const char* a, const char* b);
