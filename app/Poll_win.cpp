#include "app/Poll.h"

#include <windows.h>

#include <utility>

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

bool DownloadPage() {
    const int32_t addressPos = ScratchEnd();
    PollIndexAddress(forumSiteRoot, addressPos);
    const bool downloaded =
        DownloadToFile(ScratchPass(addressPos), watcher.pagePath, watcherTiming.downloadDeadlineMs);
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
    // A quiet page leaves the label alone: setting the text it already shows would cost a
    // message to the main thread and a repaint every cycle.
    if (!PollTotalShown(watcher.lastTotalText, total)) {
        const int32_t pos = ScratchEnd();
        PollTotalText(total, pos);
        SetLabel(TotalLabel, pos);
    }
    if (PollTotalAlerts(watcher.lastTotalText, total))
        RaiseAlert();
    // An empty total is kept too: it stands until a later total differs from it.
    StrVarSet(&watcher.lastTotalText, total ? total : "");
}

void AddUserRow(void* rows, const char* row) { RowListAdd(static_cast<RowList*>(rows), row); }

void AppendToList(void*, const char* row) { GadgetAddItem(UserList, AppendItem, row); }

// The list shows the page's rows: a page without a users line has none. Rows the list already
// shows are left alone, so the user keeps the place scrolled to and the row selected. A refill
// paints once, when every row is in, instead of once per row.
void ShowPageRows() {
    RowList& page = watcher.pageRows;
    if (RowListEqual(page, watcher.shownRows))
        return;
    GadgetHoldPainting(UserList, 1);
    GadgetClearItems(UserList);
    RowListEach(page, AppendToList, nullptr);
    GadgetHoldPainting(UserList, 0);
    std::swap(page, watcher.shownRows);
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
    return UsersFromLine(line, AddUserRow, &watcher.pageRows, count);
}

// The page file from the start of the download until it is closed.
class PageLock {
public:
    PageLock() : held_(WatcherPageLock()) {}
    ~PageLock() { Release(); }
    PageLock(const PageLock&) = delete;
    PageLock& operator=(const PageLock&) = delete;

    bool Held() const { return held_; }
    void Release() {
        if (held_)
            WatcherPageUnlock();
        held_ = false;
    }

private:
    bool held_;
};

// Reads the page file through the scanner. The page lock goes as soon as the file is closed, so
// another copy of the watcher need not wait for this one's tone.
void ScanPage(PageLock* page) {
    if (!FileOpenRead(PageFile, watcher.pagePath))
        return;
    RowListClear(&watcher.pageRows);
    // Each line is kept in a variable of its own: the scanner builds its results in the
    // scratch area, which may move under a line left there.
    StrVar line = nullptr;
    int32_t count = 0;
    bool usersLine = false;
    while (!usersLine && !FileAtEnd(PageFile)) {
        const int32_t at = ScratchEnd();
        FileReadLine(PageFile, at);
        StrVarFromScratch(&line, at);
        usersLine = ScanLine(line, &count);
    }
    StrVarFree(line);
    FileClose(PageFile);
    page->Release();
    ShowPageRows();  // before the tone, which may block a second
    if (usersLine)
        OnUsersLine(count);
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
    PageLock page;
    if (page.Held() && DownloadPage()) {
        WatcherLock(LockWaiter::Worker);
        if (!watcher.closing.load()) {
            ScanPage(&page);
            StampTime();
        }
        WatcherUnlock();
    }
    page.Release();
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
