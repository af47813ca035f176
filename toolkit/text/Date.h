#pragma once
#include <cstdint>

// Date values: signed seconds since 1970-01-01 00:00:00 of the local wall clock, every day
// 86400 seconds, no zone or daylight-saving shift.
constexpr int32_t DateInvalid = -1;
int32_t DateNow();
int32_t DateMake(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                 int32_t second);  // DateInvalid for invalid fields
int32_t DateYear(int32_t date);    // 0 when the value cannot be broken down
int32_t DateMonth(int32_t date);
int32_t DateDay(int32_t date);
int32_t DateHour(int32_t date);
int32_t DateMinute(int32_t date);
int32_t DateSecond(int32_t date);
char* DateFormat(const char* mask, int32_t date, int32_t pos);  // result in the scratch area
