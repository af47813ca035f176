#pragma once
#include <cstdint>
#include "toolkit/text/StrVar.h"

// The rules by which the watcher reads the forum's index page, one line at a time.
char* ExtractBetween(const char* text, const char* left, const char* right, int32_t pos);
// True for a total line; its total text (possibly empty) is stored into `total`.
bool TotalFromLine(const char* line, StrVar* total);
// True for a users line; each row goes to `sink` in page order (the row text is valid only
// during the call) and `count` receives the number of rows.
using RowSink = void (*)(void* context, const char* row);
bool UsersFromLine(const char* line, RowSink sink, void* context, int32_t* count);
