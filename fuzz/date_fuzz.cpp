// DateMake and the breakdown against the C library's UTC calendar, and DateFormat with any mask:
// a token and its "%" take more bytes than the field they write, so the output never outgrows
// the mask, and a mask without "%" comes back as it is.
#include <ctime>
#include <string>

#include "fuzz/FuzzInput.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"

// What the fields name, or DateInvalid: timegm normalises whatever it is given, so fields that
// do not come back unchanged were no date. Far-off numbers could overflow it and are no date.
static int32_t Reference(const int32_t f[6]) {
    for (int i = 0; i < 6; ++i)
        if (f[i] < -1000 || f[i] > 5000)
            return DateInvalid;
    struct tm t = {};
    t.tm_year = f[0] - 1900, t.tm_mon = f[1] - 1, t.tm_mday = f[2];
    t.tm_hour = f[3], t.tm_min = f[4], t.tm_sec = f[5];
    const time_t v = timegm(&t);
    const bool same = t.tm_year == f[0] - 1900 && t.tm_mon == f[1] - 1 && t.tm_mday == f[2] &&
                      t.tm_hour == f[3] && t.tm_min == f[4] && t.tm_sec == f[5];
    return same && v >= 0 && v <= INT32_MAX ? static_cast<int32_t>(v) : DateInvalid;
}

// The area makes itself on first use; the heap takes the copies the operations keep aside.
static const bool heapReady = PrivateHeapCreate();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FUZZ_CHECK(heapReady);
    FuzzInput in{data, size, 0};
    int32_t f[6];
    for (int32_t& v : f)
        v = in.Int();
    // Half the inputs are folded into plausible ranges, or valid dates would almost never occur.
    if (f[0] & 0x100) {
        const uint32_t spans[6] = {69, 14, 33, 25, 61, 61};
        for (int i = 0; i < 6; ++i)
            f[i] = static_cast<int32_t>(static_cast<uint32_t>(f[i]) % spans[i]);
        f[0] += 1970;
    }
    FUZZ_CHECK(DateMake(f[0], f[1], f[2], f[3], f[4], f[5]) == Reference(f));

    const int32_t value = in.Int();
    const time_t seconds = value;
    struct tm t = {};
    gmtime_r(&seconds, &t);
    const int32_t want[6] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                             t.tm_hour,        t.tm_min,     t.tm_sec};
    const int32_t got[6] = {DateYear(value), DateMonth(value),  DateDay(value),
                            DateHour(value), DateMinute(value), DateSecond(value)};
    for (int i = 0; i < 6; ++i)
        FUZZ_CHECK(got[i] == (value < 0 ? 0 : want[i]));  // a negative value breaks down to zeros

    const std::string mask = in.Text();
    const ScratchMark mark;
    const std::string out = DateFormat(mask.c_str(), value, mark.Pos());
    FUZZ_CHECK(ScratchEnd() == mark.Pos() + static_cast<int32_t>(out.size()));
    FUZZ_CHECK(out.size() <= mask.size());
    if (mask.find('%') == std::string::npos)
        FUZZ_CHECK(out == mask);
    return 0;
}
