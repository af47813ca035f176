#include "app/Texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// UTF-8 to Windows-1251 for what the texts use: ASCII and the Russian alphabet. Anything else
// yields '?', which no expected text contains, so a stray character fails the comparison.
std::string ToCp1251(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            i += 1;
            continue;
        }
        uint32_t code = 0;
        if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size())
            code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        i += 2;
        if (code >= 0x410 && code <= 0x44F)
            out += static_cast<char>(0xC0 + (code - 0x410));
        else if (code == 0x401)  // Ё
            out += '\xA8';
        else if (code == 0x451)  // ё
            out += '\xB8';
        else
            out += '?';
    }
    return out;
}

struct TextCase {
    const char* name;
    const char* text;
    const char* utf8;
};

const TextCase kTexts[] = {
    {"TitleText", TitleText, u8"следим за форумом"},
    {"Label1Initial", Label1Initial, u8""},
    {"Label3Initial", Label3Initial, u8"Всего сообщений:"},
    {"Label4Initial", Label4Initial, u8"Новых:   нет"},
    {"Label4Acknowledged", Label4Acknowledged, u8"Новых:    нет"},
    {"TotalPrefix", TotalPrefix, u8"Всего сообщений:     "},
    {"NewPrefix", NewPrefix, u8"Новых:    "},
    {"StampPrefix", StampPrefix, u8"Обновлено в : "},
    {"StampMask", StampMask, u8"%hh:%ii:%ss"},
    {"PageFileName", PageFileName, u8"Temp.htm"},
    {"IndexPath", IndexPath, u8"phpBB2/"},
};

TEST(Texts, AreTheRussianTextsInWindows1251) {
    for (const TextCase& c : kTexts)
        EXPECT_EQ(std::string(c.text), ToCp1251(c.utf8)) << c.name;
}

#ifdef _WIN32
// The hand-made table above agrees with the system's own conversion.
TEST(Texts, MatchTheSystemConversion) {
    for (const TextCase& c : kTexts) {
        wchar_t wide[64] = {};
        char narrow[64] = {};
        int n = MultiByteToWideChar(CP_UTF8, 0, c.utf8, -1, wide, 64);
        ASSERT_GT(n, 0) << c.name;
        ASSERT_GT(WideCharToMultiByte(1251, 0, wide, -1, narrow, 64, nullptr, nullptr), 0) << c.name;
        EXPECT_STREQ(c.text, narrow) << c.name;
    }
}
#endif

}  // namespace
