#include "app/Poll.h"

#include <windows.h>

#include "app/Download.h"
#include "app/PollLogic.h"
#include "app/Scanner.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "app/resources/Resources.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/window/Gadget.h"

namespace {

constexpr int32_t AppendItem = -1;

// Hands the text built at pos to a label and ends the expression.
void SetLabel(int32_t label, int32_t pos) {
    GadgetSetText(label, ScratchPass(pos));
    ScratchRewind(pos);
}

// The page path at pos: the temporary folder (which ends in a separator) and the file name.
void BuildPagePath(int32_t pos) {
    TempDirectory(pos);
    StrAppend(PageFileName);
}

bool DownloadPage() {
    const int32_t addressPos = ScratchEnd();
    PollIndexAddress(forumSiteRoot, addressPos);
    ScratchPass(addressPos);
    const int32_t pathPos = ScratchEnd();
    BuildPagePath(pathPos);
    ScratchPass(pathPos);
    // Pointers only now: the area may have moved while the path was appended.
    const bool downloaded =
        DownloadToFile(ScratchPointerAt(addressPos + 1), ScratchPointerAt(pathPos + 1),
                       watcherTiming.downloadDeadlineMs);
    ScratchRewind(addressPos);
    return downloaded;
}

void RaiseAlert() {
    watcher.soundPending.store(1);
    const int32_t pos = ScratchEnd();
    PollCounterText(watcher.newCount.load(), pos);
    SetLabel(CounterLabel, pos);
    WatcherShowIcon(IconNew, IconNewSize);
    watcher.newCount.fetch_add(1);
}

void OnTotalLine(const char* total) {
    const int32_t pos = ScratchEnd();
    PollTotalText(total, pos);
    SetLabel(TotalLabel, pos);
    if (PollTotalAlerts(watcher.lastTotalText, total))
        RaiseAlert();
    // An empty total is kept too: it stands until a later total differs from it.
    StrVarSet(&watcher.lastTotalText, total ? total : "");
}

void AddUserRow(void*, const char* row) {
    GadgetAddItem(UserList, AppendItem, row);
}

void OnUsersLine(int32_t count) {
    const int32_t tone = PollToneFor(watcher.lastUserCount, count);
    watcher.lastUserCount = count;
    if (!tone)
        return;
    // The tone blocks for a second; meanwhile the user may acknowledge or close the window,
    // and neither should wait for it.
    WatcherUnlock();
    Beep(static_cast<DWORD>(tone), ToneMilliseconds);
    WatcherLock(LockWaiter::Worker);
}

// True once the users line has been read, its row count in *count: nothing after it is read.
bool ScanLine(const char* line, int32_t* count) {
    StrVar total = nullptr;
    if (TotalFromLine(line, &total))
        OnTotalLine(total);
    StrVarFree(total);
    return UsersFromLine(line, AddUserRow, nullptr, count);
}

// Holds the list's painting while a page refills it: it keeps showing its old rows until the
// new ones are in, and paints once instead of once per row.
class ListRefill {
public:
    ListRefill() { GadgetHoldPainting(UserList, 1); }
    ~ListRefill() { End(); }
    ListRefill(const ListRefill&) = delete;
    ListRefill& operator=(const ListRefill&) = delete;

    void End() {
        if (holding_)
            GadgetHoldPainting(UserList, 0);
        holding_ = false;
    }

private:
    bool holding_ = true;
};

void ScanPage() {
    const int32_t pos = ScratchEnd();
    BuildPagePath(pos);
    const intptr_t opened = FileOpenRead(PageFile, ScratchPass(pos));
    ScratchRewind(pos);
    if (!opened)
        return;
    ListRefill refill;
    GadgetClearItems(UserList);
    // Each line is kept in a variable of its own: the scanner builds its results in the
    // scratch area, which may move under a line left there.
    StrVar line = nullptr;
    while (!FileAtEnd(PageFile)) {
        const int32_t at = ScratchEnd();
        FileReadLine(PageFile, at);
        StrVarFromScratch(&line, at);
        int32_t count = 0;
        if (ScanLine(line, &count)) {
            refill.End();  // the list shows its rows before the tone, which may block a second
            OnUsersLine(count);
            break;
        }
    }
    StrVarFree(line);
    FileClose(PageFile);
}

void StampTime() {
    const int32_t pos = ScratchEnd();
    PollStampText(DateNow(), pos);
    SetLabel(StatusLabel, pos);
}

}  // namespace

// A failed download leaves everything as it was, the time stamp included, so label 1 always
// tells when the page last came from the forum; the page an earlier cycle left is not scanned
// again. A cycle that gets the lock only after shut-down began stops there.
uint32_t PollForum(int32_t) {
    if (DownloadPage()) {
        WatcherLock(LockWaiter::Worker);
        if (!watcher.closing.load()) {
            ScanPage();
            StampTime();
        }
        WatcherUnlock();
    }
    watcher.pollRunning.store(0);
    return 0;
}

// One cycle at a time: file 0, the list, the shared state and the scratch area have no lock of
// their own. A timer event that finds a cycle still running starts none; the next one will.
int32_t StartPoll() {
    int32_t idle = 0;
    if (!watcher.pollRunning.compare_exchange_strong(idle, 1))
        return 0;
    if (!ThreadStart(PollForum, 0))
        watcher.pollRunning.store(0);
    return 0;
}
