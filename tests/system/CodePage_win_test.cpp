// The texts are Windows-1251 shown through the A functions. If the tests run under any other
// ANSI code page, every Cyrillic comparison after this would fail for a reason that is hard to
// see; fail here first, and say why.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Platform, AnsiCodePageIs1251) {
    ASSERT_EQ(GetACP(), 1251u) << "run the tests with LANG=ru_RU.UTF-8 (tools/wine-run does)";
}
