#pragma once
#include <cstdint>
#include "toolkit/text/StrVar.h"

// The page's own texts, in Windows-1251. Escaped, because a plain literal would be stored as
// UTF-8, and clang cannot produce CP1251 at all.
// "Наши пользователи оставили сообщений:"
constexpr char TotalMarker[] =
    "\xCD\xE0\xF8\xE8 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8 "
    "\xEE\xF1\xF2\xE0\xE2\xE8\xEB\xE8 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:";
static_assert(sizeof TotalMarker - 1 == 37, "one byte per character");
// "Зарегистрированные пользователи:"
constexpr char UsersMarker[] =
    "\xC7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED\xED\xFB\xE5 "
    "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8:";
static_assert(sizeof UsersMarker - 1 == 32, "one byte per character");

// The rules by which the watcher reads the forum's index page, one line at a time.
char* ExtractBetween(const char* text, const char* left, const char* right, int32_t pos);
// True for a total line; its total text (possibly empty) is stored into `total`.
bool TotalFromLine(const char* line, StrVar* total);
// True for a users line; each row goes to `sink` in page order (the row text is valid only
// during the call) and `count` receives the number of rows.
using RowSink = void (*)(void* context, const char* row);
bool UsersFromLine(const char* line, RowSink sink, void* context, int32_t* count);
