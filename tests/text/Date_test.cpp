// fuzz/date_fuzz.cpp holds DateMake and the breakdown to the C library's calendar, and
// Str_test.cpp a mask in the scratch area with output long enough to grow; here are the mask's
// tokens and the clock.
#include "toolkit/text/Date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

#ifdef _WIN32
#include <windows.h>
#endif

constexpr int32_t Morning = 1292490303;  // 2010-12-16 09:05:03

TEST(DateFormat, RendersTokensCaseInsensitively) {
    ASSERT_TRUE(PrivateHeapCreate());  // the mask is copied there
    ScratchInit();
    const char* cases[][2] = {
        {"%hh:%ii:%ss", "09:05:03"},
        {"%HH:%Ii:%sS", "09:05:03"},
        {"%YYYY-%mM-%dd", "2010-12-16"},
        {"%yy|%yyy|%yyyyy", "10|10y|2010y"},
        {"%x %h %", "%x %h %"},
        {"%%hh", "%09"},
        {nullptr, ""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(DateFormat(c[0], Morning, 0), c[1]) << (c[0] ? c[0] : "(null)");
    EXPECT_STREQ(DateFormat("%yyyy %yy %mm %dd %hh %ii %ss", -1, 0), "0000 00 00 00 00 00 00");
}

// The wall clock as shown, daylight saving included (the Windows build runs this again in zones
// that keep daylight saving in opposite seasons); the clock may tick between the readings.
TEST(DateNow, ReadsTheLocalWallClock) {
#ifdef _WIN32
    TIME_ZONE_INFORMATION info;
    const DWORD state = GetTimeZoneInformation(&info);
    const LONG bias = info.Bias + (state == TIME_ZONE_ID_DAYLIGHT   ? info.DaylightBias
                                   : state == TIME_ZONE_ID_STANDARD ? info.StandardBias
                                                                    : 0);
    const int64_t expected = std::time(nullptr) - bias * 60;
#else
    setenv("TZ", "Asia/Kolkata", 1);  // half an hour off the universal clock, all year
    tzset();
    const int64_t expected = std::time(nullptr) + 5 * 3600 + 30 * 60;
#endif
    EXPECT_NEAR(DateNow(), expected, 2) << (std::getenv("TZ") ? std::getenv("TZ") : "(default)");
}
