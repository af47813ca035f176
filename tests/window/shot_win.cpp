// Shows a window laid out as the watcher's, with Cyrillic texts, for a screenshot. Prints
// "ready" once it has painted and runs until the file named by its argument exists (at most
// 30 s), so the script that takes the picture decides when it may end.
#include <cstdio>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

// Windows-1251: "следим за форумом", "Обновлено в : 12:34:56", "Всего сообщений:     1234",
// "Новых:   нет", and a few user names.
constexpr char Title[] = "\xF1\xEB\xE5\xE4\xE8\xEC \xE7\xE0 \xF4\xEE\xF0\xF3\xEC\xEE\xEC";
constexpr char Updated[] = "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE \xE2 : 12:34:56";
constexpr char Total[] = "\xC2\xF1\xE5\xE3\xEE \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:     1234";
constexpr char Fresh[] = "\xCD\xEE\xE2\xFB\xF5:   \xED\xE5\xF2";
constexpr const char* Names[] = {"\xC8\xE2\xE0\xED", "Petr", "\xCE\xEB\xFC\xE3\xE0", "admin",
                                 "\xD1\xE5\xF0\xE3\xE5\xE9"};
constexpr int32_t PollTimer = 1;
constexpr int32_t PollMs = 50;
constexpr int32_t ReadyAfterTicks = 10;
constexpr int32_t GiveUpTicks = 600;

int main(int argc, char** argv) {
    const char* doneFile = argc > 1 ? argv[1] : "shot-done";
    if (!PrivateHeapCreate())
        return 1;
    ScratchInit();
    WinInit();
    GadgetInit();
    if (!WinOpen(0, 0, 0, 200, 300, Title, 0xCA0001))
        return 1;
    WinSetTopmost(0, 1);
    const int32_t w = WinClientWidth(0);
    const int32_t h = WinClientHeight(0);
    LabelCreate(1, 5, 5, w - 10, 20, "", 1);
    LabelCreate(3, 5, h - 45, 190, 17, Total);
    LabelCreate(4, 5, h - 25, 190, 17, Fresh);
    ListBoxCreate(2, 5, 25, w - 10, h - 80);
    GadgetSetText(1, Updated);
    GadgetClearItems(2);
    for (const char* name : Names)
        GadgetAddItem(2, -1, name);
    WinAddTimer(0, PollTimer, PollMs);
    for (int32_t ticks = 0; ticks < GiveUpTicks;) {
        if (WinWaitEvent() != EventTimerFired)
            continue;
        ++ticks;
        if (ticks == ReadyAfterTicks) {
            std::puts("ready");
            std::fflush(stdout);
        }
        if (ticks > ReadyAfterTicks && GetFileAttributesA(doneFile) != INVALID_FILE_ATTRIBUTES)
            break;
    }
    WinEnd();
    PrivateHeapDestroy();
    return 0;
}
