#include "app/Poll.h"

#include <windows.h>

#include <utility>

#include "app/Download.h"
#include "app/PollLogic.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "app/resources/Resources.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/window/Gadget.h"

namespace {

constexpr int32_t AppendItem = -1;

bool DownloadPage() {
    const ScratchMark address;
    PollIndexAddress(forumSiteRoot, address.Pos());
    return DownloadToFile(address.Pass(), watcher.pagePath, watcherTiming.downloadDeadlineMs);
}

// `changes` alerts at once (a page with more than one total line): label 4 shows the number the
// last of them would have shown.
void RaiseAlert(int32_t changes) {
    {
        const ScratchMark counter;
        PollCounterText(watcher.newCount.load() + changes - 1, counter.Pos());
        GadgetSetText(CounterLabel, counter.Pass());
    }
    WatcherShowIcon(IconNew, IconNewSize);
    watcher.soundPending.store(1);
    watcher.newCount.fetch_add(changes);
}

void ShowTotal(const PageContent& page) {
    // A quiet page leaves the label alone: setting the text it already shows would cost a
    // message to the main thread and a repaint every cycle.
    if (!PollTotalShown(watcher.lastTotalText, page.total)) {
        const ScratchMark total;
        PollTotalText(page.total, total.Pos());
        GadgetSetText(TotalLabel, total.Pass());
    }
    if (page.totalChanges)
        RaiseAlert(page.totalChanges);
    // An empty total is kept too: it stands until a later total differs from it.
    StrVarSet(&watcher.lastTotalText, page.total ? page.total : "");
}

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

void SoundTone(int32_t count) {
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

// Reads the downloaded page whole, without the watcher lock: only cycles touch the last total
// and the page's rows, and never two at once. The page lock goes as soon as the file is closed,
// so another copy of the watcher need not wait for this one's window.
bool ReadPage(PageLock* lock, PageContent* page) {
    if (!WatcherScanLock())
        return false;
    const bool read = PollReadPage(PageFile, watcher.pagePath, watcher.lastTotalText,
                                   &watcher.pageRows, page);
    WatcherScanUnlock();
    lock->Release();
    return read;
}

void StampTime() {
    const ScratchMark stamp;
    PollStampText(DateNow(), stamp.Pos());
    GadgetSetText(StatusLabel, stamp.Pass());
}

}  // namespace

// A failed download leaves everything as it was, the time stamp included, so label 1 always
// tells when the page last came from the forum; the page an earlier cycle left is not scanned
// again. The page is read first, and only its effects wait for the watcher lock, in their fixed
// order: labels 3 and 4, the icons, the sound, the list, the tone, the stamp. A cycle that gets
// the lock only after shut-down began stops there.
uint32_t PollForum(int32_t) {
    PageLock lock;
    if (lock.Held() && DownloadPage()) {
        PageContent page{};
        const bool read = ReadPage(&lock, &page);
        WatcherLock(LockWaiter::Worker);
        if (!watcher.closing.load()) {
            if (read && page.totalLine)
                ShowTotal(page);
            if (read)
                ShowPageRows();
            // Freed before the tone lets the lock go: the shut-down may then free the heaps.
            PageContentFree(&page);
            if (read && page.usersLine)
                SoundTone(page.userCount);
            StampTime();
        }
        WatcherUnlock();
    }
    lock.Release();
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
