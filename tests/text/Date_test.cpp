// fuzz/date_fuzz.cpp checks that every value DateMake accepts breaks down into its own fields,
// and that a rendered mask never outgrows the mask; here are the fixed points and the clock.
#include "toolkit/text/Date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
constexpr int32_t Morning = 1292490303;  // 2010-12-16 09:05:03

class DateFormatTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
    }
};
}  // namespace

struct MakeCase { int32_t year, month, day, hour, minute, second, want; };
TEST(DateMake, CountsWallClockSecondsOrRefuses) {
    const MakeCase cases[] = {
        {1970, 1, 1, 0, 0, 0, 0},           {1970, 1, 1, 23, 59, 59, 86399},
        {1970, 1, 2, 0, 0, 0, 86400},       {2010, 12, 16, 12, 0, 0, 1292500800},
        {2010, 7, 1, 12, 0, 0, 1277985600}, {2000, 2, 29, 0, 0, 0, 951782400},
        {2012, 2, 29, 12, 30, 0, 1330518600}, {2038, 1, 19, 3, 14, 7, INT32_MAX},
        {2036, 12, 31, 23, 59, 59, 2114380799},  // the last leap year in range ends
        // Valid fields without a 32-bit value.
        {2038, 1, 19, 3, 14, 8, -1}, {1969, 12, 31, 23, 59, 59, -1}, {1, 1, 1, 0, 0, 0, -1},
        {INT32_MAX, 12, 31, 0, 0, 0, -1},
        // Invalid fields.
        {2010, 2, 29, 0, 0, 0, -1}, {2100, 2, 29, 0, 0, 0, -1}, {2012, 2, 30, 0, 0, 0, -1},
        {2010, 4, 31, 0, 0, 0, -1}, {2010, 11, 31, 0, 0, 0, -1}, {2010, 0, 1, 0, 0, 0, -1},
        {2010, 13, 1, 0, 0, 0, -1}, {2010, 1, 0, 0, 0, 0, -1}, {2010, 1, 32, 0, 0, 0, -1},
        {2010, 1, 1, 24, 0, 0, -1}, {2010, 1, 1, 0, 60, 0, -1}, {2010, 1, 1, 0, 0, 60, -1},
        {2010, 1, 1, -1, 0, 0, -1}, {2010, 1, 1, 0, -1, 0, -1}, {2010, 1, 1, 0, 0, -1, -1},
        {0, 1, 1, 0, 0, 0, -1},     {2010, INT32_MIN, 1, 0, 0, 0, -1},
    };
    for (const MakeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " "
                                        << c.hour << ":" << c.minute << ":" << c.second);
        const int32_t date = DateMake(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(date, c.want);
        if (date < 0)
            continue;
        const int32_t back[] = {DateYear(date), DateMonth(date),  DateDay(date),
                                DateHour(date), DateMinute(date), DateSecond(date)};
        const int32_t fields[] = {c.year, c.month, c.day, c.hour, c.minute, c.second};
        EXPECT_EQ(0, std::memcmp(back, fields, sizeof fields)) << "breaks down differently";
    }
}

// Every day of the range, one step of 86,400 seconds after the other: a slip at any month or
// year boundary shows here, not only on the dates of the table above.
TEST(DateMake, EveryDayFollowsTheDayBefore) {
    const int32_t monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t expected = 0;
    for (int32_t year = 1970; year <= 2037; ++year)
        for (int32_t month = 1; month <= 12; ++month) {
            const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
            const int32_t days = monthDays[month - 1] + (month == 2 && leap);
            for (int32_t day = 1; day <= days; ++day, expected += 86400) {
                const int32_t date = DateMake(year, month, day, 0, 0, 0);
                if (date != expected || DateYear(date) != year || DateMonth(date) != month ||
                    DateDay(date) != day)
                    FAIL() << year << "-" << month << "-" << day << " made " << date;
            }
        }
}

struct FormatCase { const char* mask; int32_t date; const char* want; };
TEST_F(DateFormatTest, RendersTokensCaseInsensitively) {
    const FormatCase cases[] = {
        {"%hh:%ii:%ss", Morning, "09:05:03"},
        {"%HH:%Ii:%sS", Morning, "09:05:03"},
        {"%YYYY-%mM-%dd", Morning, "2010-12-16"},
        {"%yy|%yyy|%yyyyy", Morning, "10|10y|2010y"},
        {"%x %h %", Morning, "%x %h %"},
        {"%%hh", Morning, "%09"},
        {"%yyyy-%mm-%dd %hh:%ii:%ss", 0, "1970-01-01 00:00:00"},
        {"%yyyy-%mm-%dd %hh:%ii:%ss", INT32_MAX, "2038-01-19 03:14:07"},
        {"%yyyy %yy %mm %dd %hh %ii %ss", -1, "0000 00 00 00 00 00 00"},  // cannot break down
        {"", Morning, ""},
        {nullptr, Morning, ""},
    };
    for (const FormatCase& c : cases) {
        const int32_t pos = ScratchEnd();
        EXPECT_STREQ(DateFormat(c.mask, c.date, pos), c.want) << (c.mask ? c.mask : "(null)");
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(strlen(c.want)));
        ScratchEmptyAt(pos);
    }
}

// A mask built earlier in the scratch area, with output long enough to grow the reservation
// twice and move the area.
TEST_F(DateFormatTest, LongOutputFromAMaskInTheScratchArea) {
    std::string mask, want;
    for (int i = 0; i < 3000; ++i) {
        mask += "%yyyy-%hh";
        want += "2010-09";
    }
    const int32_t maskPos = ScratchEnd();
    char* inArea = ScratchReserve(static_cast<int32_t>(mask.size()) + 1, maskPos);
    ASSERT_NE(inArea, nullptr);
    std::memcpy(inArea, mask.c_str(), mask.size() + 1);
    const int32_t pos = ScratchEnd();
    EXPECT_EQ(std::string(DateFormat(inArea, Morning, pos)), want);
    EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(want.size()));
    ScratchEmptyAt(maskPos);
}

// DateNow reads the wall clock as shown, daylight saving included; the clock may tick
// between the two readings.
static void ExpectNowIsWallClock(const char* zone) {
#ifdef _WIN32
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    TIME_ZONE_INFORMATION info;
    const DWORD state = GetTimeZoneInformation(&info);
    const LONG bias = info.Bias + (state == TIME_ZONE_ID_DAYLIGHT   ? info.DaylightBias
                                   : state == TIME_ZONE_ID_STANDARD ? info.StandardBias
                                                                    : 0);
    const int32_t expected = DateMake(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
                                      utc.wSecond) - bias * 60;
#else
    const time_t now = std::time(nullptr);
    struct tm utc, local;
    ASSERT_NE(gmtime_r(&now, &utc), nullptr);
    ASSERT_NE(localtime_r(&now, &local), nullptr);
    const int32_t expected = DateMake(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                                      utc.tm_hour, utc.tm_min, utc.tm_sec) +
                             static_cast<int32_t>(local.tm_gmtoff);
#endif
    EXPECT_NEAR(DateNow(), expected, 2) << zone;
}

#ifdef _WIN32
// Wine reads TZ once at process start, so the zones come from extra runs of this program.
TEST(DateNow, ReadsTheLocalWallClock) {
    const char* zone = std::getenv("TZ");
    ExpectNowIsWallClock(zone ? zone : "(default)");
}
#else
TEST(DateNow, ReadsTheLocalWallClockInEveryZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    // Sydney and New York keep daylight saving in opposite seasons: whenever this runs, one of
    // them is shifted by an hour.
    for (const char* zone : {"UTC0", "Australia/Sydney", "America/New_York", "Asia/Kolkata"}) {
        setenv("TZ", zone, 1);
        tzset();
        ExpectNowIsWallClock(zone);
        EXPECT_EQ(DateMake(2010, 7, 1, 12, 0, 0), 1277985600) << zone;
    }
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif
