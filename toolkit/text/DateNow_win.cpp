#include "toolkit/text/Date.h"

#include <windows.h>

// The wall clock as the user sees it; DateMake counts its fields without any zone arithmetic,
// so a summer reading is not pulled back by the daylight-saving hour.
int32_t DateNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DateMake(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}
