#include "toolkit/text/Date.h"

#include <ctime>

// Stand-in for the Windows clock: the local wall-clock fields, daylight saving as shown.
int32_t DateNow() {
    const time_t now = std::time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local))
        return DateInvalid;
    return DateMake(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec);
}
