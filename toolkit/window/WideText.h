#pragma once
#include <cstdint>

// Texts stay Windows-1251 inside the toolkit and reach the system through the W functions, so
// that they read right whatever the ANSI code page; these two are the only crossings.

// A UTF-16 copy of a Windows-1251 text (null behaves as ""), freed when it goes out of scope.
// get() is null when the copy could not be made.
class WideText {
public:
    explicit WideText(const char* text);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const wchar_t* get() const { return wide; }

private:
    wchar_t* wide;  // private-heap block
};

// `length` UTF-16 units as a new Windows-1251 text at pos in the scratch area; characters
// Windows-1251 lacks become '?'. The empty text there when it cannot be made.
char* TextFromWide(const wchar_t* wide, int32_t length, int32_t pos);
