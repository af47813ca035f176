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

class DateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
    }
    std::string Format(const char* mask, int32_t date) {
        const int32_t pos = ScratchEnd();
        std::string text = DateFormat(mask, date, pos);
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(text.size())) << mask;
        ScratchEmptyAt(pos);
        return text;
    }
};

// 2010-12-16 09:05:03
constexpr int32_t Morning = 1292490303;

struct MakeCase {
    int32_t year, month, day, hour, minute, second;
    int32_t want;
};

}  // namespace

TEST(DateMake, CountsWallClockSeconds) {
    const MakeCase cases[] = {
        {1970, 1, 1, 0, 0, 0, 0},
        {1970, 1, 1, 23, 59, 59, 86399},
        {1970, 1, 2, 0, 0, 0, 86400},
        {2010, 12, 16, 12, 0, 0, 1292500800},
        {2000, 2, 29, 0, 0, 0, 951782400},
        {2012, 2, 29, 12, 30, 0, 1330518600},
        {2010, 7, 1, 12, 0, 0, 1277985600},   // summer: no daylight-saving hour anywhere
        {2038, 1, 19, 3, 14, 7, INT32_MAX},
        {2038, 1, 19, 3, 14, 8, DateInvalid},  // beyond the 32-bit count
        {1969, 12, 31, 23, 59, 59, DateInvalid},
        {1, 1, 1, 0, 0, 0, DateInvalid},
        {INT32_MAX, 12, 31, 23, 59, 59, DateInvalid},
    };
    for (const MakeCase& c : cases)
        EXPECT_EQ(DateMake(c.year, c.month, c.day, c.hour, c.minute, c.second), c.want)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute
            << ":" << c.second;
}

TEST(DateMake, RefusesInvalidFields) {
    const MakeCase cases[] = {
        {2010, 2, 29, 0, 0, 0, 0},  {2100, 2, 29, 0, 0, 0, 0},  {2011, 2, 30, 0, 0, 0, 0},
        {2012, 2, 30, 0, 0, 0, 0},  {2010, 4, 31, 0, 0, 0, 0},  {2010, 6, 31, 0, 0, 0, 0},
        {2010, 9, 31, 0, 0, 0, 0},  {2010, 11, 31, 0, 0, 0, 0}, {2010, 0, 1, 0, 0, 0, 0},
        {2010, 13, 1, 0, 0, 0, 0},  {2010, 1, 0, 0, 0, 0, 0},   {2010, 1, 32, 0, 0, 0, 0},
        {2010, 1, 1, 24, 0, 0, 0},  {2010, 1, 1, 0, 60, 0, 0},  {2010, 1, 1, 0, 0, 60, 0},
        {2010, 1, 1, -1, 0, 0, 0},  {2010, 1, 1, 0, -1, 0, 0},  {2010, 1, 1, 0, 0, -1, 0},
        {0, 1, 1, 0, 0, 0, 0},      {-2010, 1, 1, 0, 0, 0, 0},  {2010, INT32_MIN, 1, 0, 0, 0, 0},
    };
    for (const MakeCase& c : cases)
        EXPECT_EQ(DateMake(c.year, c.month, c.day, c.hour, c.minute, c.second), DateInvalid)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute
            << ":" << c.second;
}

// Every day of the representable range made from its fields breaks down to them again.
TEST(DateMake, RoundTripsThroughTheExtractors) {
    const int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t expected = 0;
    for (int32_t year = 1970; year <= 2037; ++year) {
        for (int32_t month = 1; month <= 12; ++month) {
            const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
            const int32_t last = days[month - 1] + (month == 2 && leap);
            for (int32_t day = 1; day <= last; ++day, expected += 86400) {
                const int32_t date = DateMake(year, month, day, 13, 14, 15);
                ASSERT_EQ(date, expected + 13 * 3600 + 14 * 60 + 15) << year << "-" << month << "-" << day;
                ASSERT_EQ(DateYear(date), year);
                ASSERT_EQ(DateMonth(date), month);
                ASSERT_EQ(DateDay(date), day);
                ASSERT_EQ(DateHour(date), 13);
                ASSERT_EQ(DateMinute(date), 14);
                ASSERT_EQ(DateSecond(date), 15);
            }
        }
    }
}

TEST(DateExtractors, GiveZeroForNegativeValues) {
    for (int32_t date : {-1, -86400, INT32_MIN}) {
        EXPECT_EQ(DateYear(date), 0);
        EXPECT_EQ(DateMonth(date), 0);
        EXPECT_EQ(DateDay(date), 0);
        EXPECT_EQ(DateHour(date), 0);
        EXPECT_EQ(DateMinute(date), 0);
        EXPECT_EQ(DateSecond(date), 0);
    }
}

TEST_F(DateTest, FormatsTokensCaseInsensitively) {
    struct Case {
        const char* mask;
        int32_t date;
        const char* want;
    };
    const Case cases[] = {
        {"%hh:%ii:%ss", Morning, "09:05:03"},
        {"%hh:%ii:%ss", DateMake(2010, 12, 16, 23, 59, 59), "23:59:59"},
        {"%HH:%Ii:%sS", Morning, "09:05:03"},
        {"%yyyy-%mm-%dd", Morning, "2010-12-16"},
        {"%YYYY-%MM-%DD", Morning, "2010-12-16"},
        {"%yy", Morning, "10"},
        {"%yyy", Morning, "10y"},
        {"%yyyyy", Morning, "2010y"},
        {"no tokens here", Morning, "no tokens here"},
        {"%x", Morning, "%x"},
        {"end%", Morning, "end%"},
        {"%%hh", Morning, "%09"},
        {"%h%i%s", Morning, "%h%i%s"},
        {"%yyyy-%mm-%dd %hh:%ii:%ss", 0, "1970-01-01 00:00:00"},
        {"%yyyy-%mm-%dd %hh:%ii:%ss", INT32_MAX, "2038-01-19 03:14:07"},
        {"%yyyy %yy %mm %dd %hh %ii %ss", -1, "0000 00 00 00 00 00 00"},
        {"\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE %hh", Morning, "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE 09"},
        {"", Morning, ""},
        {nullptr, Morning, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(c.mask, c.date), c.want) << (c.mask ? c.mask : "(null)");
}

TEST_F(DateTest, LongOutputSurvivesGrowthOfTheReservation) {
    std::string mask, want;
    for (int i = 0; i < 3000; ++i) {  // 9000 bytes from a 15000-byte mask, crossing two steps
        mask += "%hh:";
        want += "09:";
        if (i % 7 == 0) {
            mask += "%yyyy";
            want += "2010";
        }
    }
    const int32_t pos = ScratchEnd();
    EXPECT_EQ(Format(mask.c_str(), Morning), want);
    EXPECT_EQ(ScratchEnd(), pos);
}

TEST_F(DateTest, MaskMayLieInTheScratchAreaItself) {
    // A mask built earlier in the area, whose output outgrows the area so that it moves.
    const int32_t maskPos = ScratchEnd();
    std::string mask, want;
    for (int i = 0; i < 3000; ++i) {
        mask += "%yyyy-%hh";
        want += "2010-09";
    }
    char* inArea = ScratchReserve(static_cast<int32_t>(mask.size()) + 1, maskPos);
    ASSERT_NE(inArea, nullptr);
    std::memcpy(inArea, mask.c_str(), mask.size() + 1);
    EXPECT_EQ(std::string(DateFormat(inArea, Morning, ScratchEnd())), want);
    ScratchEmptyAt(maskPos);
}

// DateNow must read the wall clock as shown, daylight saving included. The clock can tick
// between the two readings, hence the tolerance.
static void ExpectNowIsWallClock(const char* zone) {
#ifdef _WIN32
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    TIME_ZONE_INFORMATION info;
    const DWORD state = GetTimeZoneInformation(&info);
    LONG bias = info.Bias;
    if (state == TIME_ZONE_ID_DAYLIGHT)
        bias += info.DaylightBias;
    else if (state == TIME_ZONE_ID_STANDARD)
        bias += info.StandardBias;
    const int32_t expected = DateMake(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
                                      utc.wSecond) - bias * 60;
#else
    const time_t now = std::time(nullptr);
    struct tm local;
    ASSERT_NE(localtime_r(&now, &local), nullptr);
    const int32_t expected = DateMake(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_hour, local.tm_min, local.tm_sec);
    // Independent of the fields: the zone's current offset, daylight saving included.
    EXPECT_NEAR(expected - static_cast<int64_t>(now), local.tm_gmtoff, 2) << zone;
#endif
    EXPECT_NEAR(DateNow(), expected, 2) << zone;
}

#ifdef _WIN32
// Wine takes its zone from TZ when the process starts, so the zones are chosen by extra runs
// of this program; here the run's own zone is checked.
TEST(DateNow, ReadsTheLocalWallClock) {
    const char* zone = std::getenv("TZ");
    ExpectNowIsWallClock(zone ? zone : "(default)");
}
#else
TEST(DateNow, ReadsTheLocalWallClockInEveryZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    // Sydney keeps daylight saving from October to April, New York from March to November:
    // whenever this runs, one of them is shifted by an hour.
    for (const char* zone : {"UTC0", "Australia/Sydney", "America/New_York", "Asia/Kolkata"}) {
        setenv("TZ", zone, 1);
        tzset();
        ExpectNowIsWallClock(zone);
        // Calendar values do not move with the zone.
        EXPECT_EQ(DateMake(2010, 12, 16, 12, 0, 0), 1292500800) << zone;
        EXPECT_EQ(DateMake(2010, 7, 1, 12, 0, 0), 1277985600) << zone;
        EXPECT_EQ(DateMake(1970, 1, 1, 23, 59, 59), 86399) << zone;
    }
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif
