#include "app/PollLogic.h"

#include "app/Texts.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/text/Str.h"

int32_t PollToneFor(int32_t lastUserCount, int32_t count) {
    if (lastUserCount < count)
        return ToneMoreUsers;
    if (lastUserCount > count)
        return ToneFewerUsers;
    return 0;
}

bool PollTotalAlerts(const char* lastTotal, const char* total) {
    return StrLen(lastTotal) != 0 && !StrEqual(lastTotal, total);
}

// Each piece goes at the current end; the result's pointer is formed last, since the area may
// move while the pieces are appended.
char* PollIndexAddress(const char* siteRoot, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(siteRoot);
    StrAppend(IndexPath);
    return ScratchPointerAt(pos + 1);
}

char* PollTotalText(const char* total, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(TotalPrefix);
    StrAppend(total);
    return ScratchPointerAt(pos + 1);
}

char* PollCounterText(int32_t newCount, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(NewPrefix);
    StrFromInt(newCount, ScratchEnd());
    return ScratchPointerAt(pos + 1);
}

char* PollStampText(int32_t date, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(StampPrefix);
    DateFormat(StampMask, date, ScratchEnd());
    return ScratchPointerAt(pos + 1);
}
