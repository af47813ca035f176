#pragma once
#include <cstdint>

// String variables: each owns a block of length + 5 bytes on the string heap, or is null, which
// reads as "". Assigning resizes the block (it may move); assigning the absent text frees it.
using StrVar = char*;
void StrVarInit(StrVar* var, const char* text);    // var must hold null
void StrVarSet(StrVar* var, const char* text);     // null text frees and leaves null
void StrVarFromScratch(StrVar* var, int32_t pos);  // text from pos to end; then end = pos
void StrVarFree(StrVar var);
// Appends a stored text (a literal or a variable's block) at the scratch area's end. A text that
// lies in the area itself is found again after the area grows, so it reads right too.
void StrAppend(const char* text);
void TextCopy(char* dst, const char* src, int32_t len);  // len bytes, then a terminator
