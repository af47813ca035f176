// The interface texts are hand-escaped Windows-1251 bytes; the system's own conversion of the
// readable Russian must give the very same bytes, runs of spaces included.
#include "app/Texts.h"

#include <gtest/gtest.h>

#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

std::string ToCp1251(const char* utf8) {
    char out[256] = {};
#ifdef _WIN32
    wchar_t wide[128] = {};
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 128) ||
        !WideCharToMultiByte(1251, 0, wide, -1, out, sizeof out, nullptr, nullptr))
        return "(no conversion)";
#else
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "(no conversion)";
    char* in = const_cast<char*>(utf8);
    size_t inLeft = std::char_traits<char>::length(utf8);
    char* to = out;
    size_t outLeft = sizeof out - 1;
    const size_t converted = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (converted == static_cast<size_t>(-1))
        return "(no conversion)";
#endif
    return out;
}

struct TextCase { const char* name; const char* text; const char* utf8; };
TEST(Texts, AreTheRussianTextsInWindows1251) {
    const TextCase cases[] = {
        {"TitleText", TitleText, u8"следим за форумом"},
        {"Label3Initial", Label3Initial, u8"Всего сообщений:"},
        {"Label4Initial", Label4Initial, u8"Новых:   нет"},
        {"Label4Acknowledged", Label4Acknowledged, u8"Новых:    нет"},
        {"TotalPrefix", TotalPrefix, u8"Всего сообщений:     "},
        {"NewPrefix", NewPrefix, u8"Новых:    "},
        {"StampPrefix", StampPrefix, u8"Обновлено в : "},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(std::string(c.text), ToCp1251(c.utf8)) << c.name;
}

}  // namespace
