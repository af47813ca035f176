// DateMake with any fields and DateFormat with any mask and value. A value DateMake accepts
// breaks down into the very fields it was made from; a rendered mask never loses its plain bytes.
#include <string>

#include "fuzz/FuzzInput.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/Str.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrivateHeapCreate();
    ScratchInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    int32_t f[6];
    for (int32_t& v : f)
        v = in.Int();
    // Half the inputs are folded into plausible ranges, or valid dates would almost never occur.
    if (f[0] & 0x100) {
        f[0] = 1970 + static_cast<int32_t>(static_cast<uint32_t>(f[0]) % 68);
        f[1] = static_cast<int32_t>(static_cast<uint32_t>(f[1]) % 14);
        f[2] = static_cast<int32_t>(static_cast<uint32_t>(f[2]) % 33);
        f[3] = static_cast<int32_t>(static_cast<uint32_t>(f[3]) % 25);
        f[4] = static_cast<int32_t>(static_cast<uint32_t>(f[4]) % 61);
        f[5] = static_cast<int32_t>(static_cast<uint32_t>(f[5]) % 61);
    }
    const int32_t date = DateMake(f[0], f[1], f[2], f[3], f[4], f[5]);
    // Past 2038-01-19 the value leaves 32 bits; what it then holds is not a date.
    if (date >= 0 && f[0] <= 2037) {
        FUZZ_CHECK(DateYear(date) == f[0]);
        FUZZ_CHECK(DateMonth(date) == f[1]);
        FUZZ_CHECK(DateDay(date) == f[2]);
        FUZZ_CHECK(DateHour(date) == f[3]);
        FUZZ_CHECK(DateMinute(date) == f[4]);
        FUZZ_CHECK(DateSecond(date) == f[5]);
    } else if (date != DateInvalid) {
        // Before the epoch nothing breaks down.
        FUZZ_CHECK(DateYear(date) == 0 && DateHour(date) == 0);
    }

    const int32_t value = in.Int();
    const std::string mask = in.Text();
    const int32_t pos = ScratchEnd();
    const std::string out = DateFormat(mask.c_str(), value, pos);
    FUZZ_CHECK(ScratchEnd() == pos + static_cast<int32_t>(out.size()));
    // A token and its "%" always take more bytes than the field they write, and any other byte
    // is copied as it is: the output is never longer than the mask.
    size_t percents = 0;
    for (char c : mask)
        percents += c == '%';
    FUZZ_CHECK(out.size() <= mask.size());
    if (percents == 0)
        FUZZ_CHECK(out == mask);
    ScratchRewind(pos);
    return 0;
}
