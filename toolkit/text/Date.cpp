#include "toolkit/text/Date.h"

#include <cstring>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

// Date values count wall-clock seconds with every day 86400 long, so they are plain calendar
// arithmetic: no zone, no daylight saving, and nothing here asks the machine for either.
constexpr int64_t SecondsPerDay = 86400;
constexpr int32_t FormatStep = 4096;  // the output is reserved in steps of this size
constexpr int32_t FormatMargin = 5;   // a step writes at most 4 bytes, plus the terminator

namespace {
struct CivilDate {
    int64_t year;
    int32_t month;
    int32_t day;
};
}  // namespace

static bool IsLeapYear(int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days from 1970-01-01 to the given proleptic Gregorian date; counting years from March puts
// the leap day last, so every era of 400 years has the same shape.
static int64_t DaysFromCivil(int64_t year, int32_t month, int32_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

static CivilDate CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int32_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    date.month = static_cast<int32_t>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2);
    return date;
}

static bool FieldsValid(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                        int32_t second) {
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11))
        return false;
    if (month == 2 && (day > 29 || (day == 29 && !IsLeapYear(year))))
        return false;
    return true;
}

// Valid dates before 1970 or after 2038-01-19 03:14:07 have no date value; they are refused
// like invalid fields rather than wrapped into some unrelated time.
int32_t DateMake(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                 int32_t second) {
    if (!FieldsValid(year, month, day, hour, minute, second))
        return DateInvalid;
    const int64_t seconds =
        DaysFromCivil(year, month, day) * SecondsPerDay + hour * 3600 + minute * 60 + second;
    if (seconds < 0 || seconds > INT32_MAX)
        return DateInvalid;
    return static_cast<int32_t>(seconds);
}

int32_t DateYear(int32_t date) {
    return date < 0 ? 0 : static_cast<int32_t>(CivilFromDays(date / SecondsPerDay).year);
}

int32_t DateMonth(int32_t date) { return date < 0 ? 0 : CivilFromDays(date / SecondsPerDay).month; }

int32_t DateDay(int32_t date) { return date < 0 ? 0 : CivilFromDays(date / SecondsPerDay).day; }

int32_t DateHour(int32_t date) {
    return date < 0 ? 0 : static_cast<int32_t>(date % SecondsPerDay / 3600);
}

int32_t DateMinute(int32_t date) { return date < 0 ? 0 : date % 3600 / 60; }

int32_t DateSecond(int32_t date) { return date < 0 ? 0 : date % 60; }

namespace {
enum class Field { Year4, Year2, Month, Day, Hour, Minute, Second };
struct Token {
    const char* text;  // lower case
    int32_t length;
    Field field;
};
// Tried in this order: "yyyy" must win over "yy".
constexpr Token Tokens[] = {
    {"yyyy", 4, Field::Year4}, {"yy", 2, Field::Year2}, {"mm", 2, Field::Month},
    {"dd", 2, Field::Day},     {"hh", 2, Field::Hour},  {"ii", 2, Field::Minute},
    {"ss", 2, Field::Second},
};
}  // namespace

static char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Stops at the mask's terminator, which matches no token letter, so it never reads past it.
static const Token* MatchToken(const char* at) {
    for (const Token& token : Tokens) {
        int32_t i = 0;
        while (i < token.length && AsciiLower(at[i]) == token.text[i])
            ++i;
        if (i == token.length)
            return &token;
    }
    return nullptr;
}

static int32_t WriteTwoDigits(char* out, int32_t value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
    return 2;
}

// Years of date values are 1970 to 2038; 0 stands for a value that cannot be broken down.
// "yy" takes the third and fourth digits, which for year 0 do not exist: render "00" like
// every other field of such a value.
static int32_t WriteField(char* out, Field field, int32_t date) {
    const int32_t year = DateYear(date);
    switch (field) {
    case Field::Year4:
        WriteTwoDigits(out, year / 100);
        return 2 + WriteTwoDigits(out + 2, year % 100);
    case Field::Year2:
        return WriteTwoDigits(out, year >= 1000 ? year % 100 : 0);
    case Field::Month:
        return WriteTwoDigits(out, DateMonth(date));
    case Field::Day:
        return WriteTwoDigits(out, DateDay(date));
    case Field::Hour:
        return WriteTwoDigits(out, DateHour(date));
    case Field::Minute:
        return WriteTwoDigits(out, DateMinute(date));
    case Field::Second:
        return WriteTwoDigits(out, DateSecond(date));
    }
    return 0;
}

char* DateFormat(const char* mask, int32_t date, int32_t pos) {
    char* copy = nullptr;
    if (mask && *mask) {
        // The mask may lie in the scratch area, which our own reservations can move.
        const size_t length = std::strlen(mask);
        copy = static_cast<char*>(PrivateAllocRaw(length + 1));
        if (!copy)
            return ScratchEmptyAt(pos);
        std::memcpy(copy, mask, length + 1);
    }
    int32_t room = FormatStep;
    char* out = ScratchReserve(room, pos);
    if (!out) {
        PrivateFree(copy);
        return ScratchEmptyAt(pos);
    }
    int32_t length = 0;
    for (const char* at = copy; at && *at;) {
        const Token* token = *at == '%' ? MatchToken(at + 1) : nullptr;
        if (token) {
            length += WriteField(out + length, token->field, date);
            at += 1 + token->length;
        } else {
            out[length++] = *at++;
        }
        if (length > room - FormatMargin) {
            char* grown = ScratchReserve(room + FormatStep, pos);
            if (!grown)
                break;  // keep what fits rather than write past the reservation
            room += FormatStep;
            out = grown;
        }
    }
    PrivateFree(copy);
    return ScratchFinish(out, length, room);
}
