#include "app/PollLogic.h"

#include <cstring>
#include <utility>

#include "app/Texts.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
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

bool PollTotalShown(const char* lastTotal, const char* total) {
    return lastTotal && StrEqual(lastTotal, total);
}

constexpr int32_t RowRoomStep = 1024;

// Doubling the block keeps a line of thousands of names from copying it once per name.
static bool RowListMakeRoom(RowList* rows, int32_t needed) {
    if (needed <= rows->room - rows->length)
        return true;
    int64_t room = rows->room ? rows->room : RowRoomStep;
    while (room < static_cast<int64_t>(rows->length) + needed)
        room *= 2;
    void* grown =
        room > INT32_MAX ? nullptr : PrivateReAlloc(rows->text, static_cast<size_t>(room));
    if (!grown)
        return false;
    rows->text = static_cast<char*>(grown);
    rows->room = static_cast<int32_t>(room);
    return true;
}

void RowListAdd(RowList* rows, const char* row) {
    const size_t length = std::strlen(row ? row : "");
    if (length >= INT32_MAX || !RowListMakeRoom(rows, static_cast<int32_t>(length) + 1)) {
        rows->incomplete = true;
        return;
    }
    std::memcpy(rows->text + rows->length, row ? row : "", length + 1);
    rows->length += static_cast<int32_t>(length) + 1;
    rows->count++;
}

bool RowListEqual(const RowList& a, const RowList& b) {
    return !a.incomplete && !b.incomplete && a.count == b.count && a.length == b.length &&
           (a.length == 0 || std::memcmp(a.text, b.text, static_cast<size_t>(a.length)) == 0);
}

void RowListEach(const RowList& rows, RowSink sink, void* context) {
    for (int32_t at = 0; at < rows.length;
         at += static_cast<int32_t>(std::strlen(rows.text + at)) + 1)
        sink(context, rows.text + at);
}

void RowListClear(RowList* rows) {
    rows->length = 0;
    rows->count = 0;
    rows->incomplete = false;
}

void RowListFree(RowList* rows) {
    PrivateFree(rows->text);
    *rows = RowList{};
}

// Each piece goes at the current end; the result's pointer is formed last, since the area may
// move while the pieces are appended.
char* PollIndexAddress(const char* siteRoot, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(siteRoot);
    StrAppend(IndexPath);
    return ScratchAt(pos);
}

char* PollTotalText(const char* total, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(TotalPrefix);
    StrAppend(total);
    return ScratchAt(pos);
}

char* PollCounterText(int32_t newCount, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(NewPrefix);
    StrFromInt(newCount, ScratchEnd());
    return ScratchAt(pos);
}

char* PollStampText(int32_t date, int32_t pos) {
    ScratchEmptyAt(pos);
    StrAppend(StampPrefix);
    DateFormat(StampMask, date, ScratchEnd());
    return ScratchAt(pos);
}

static void AddRow(void* rows, const char* row) { RowListAdd(static_cast<RowList*>(rows), row); }

// Each line is kept in a variable of its own: the rules build their results in the scratch area,
// which may move under a line left there. Every total line counts, as if each were shown in
// turn; a real page has one.
bool PollReadPage(int32_t file, const char* path, const char* lastTotal, RowList* rows,
                  PageContent* page) {
    *page = PageContent{};
    if (!FileOpenRead(file, path))
        return false;
    RowListClear(rows);
    StrVar line = nullptr, total = nullptr;
    while (!page->usersLine && !FileAtEnd(file)) {
        const int32_t at = ScratchEnd();
        FileReadLine(file, at);
        StrVarFromScratch(&line, at);
        page->lines++;
        if (TotalFromLine(line, &total)) {
            page->totalChanges +=
                PollTotalAlerts(page->totalLine ? page->total : lastTotal, total) ? 1 : 0;
            page->totalLine = true;
            std::swap(page->total, total);
        }
        page->usersLine = UsersFromLine(line, AddRow, rows, &page->userCount);
    }
    StrVarFree(total);
    StrVarFree(line);
    FileClose(file);
    return true;
}

void PageContentFree(PageContent* page) {
    StrVarFree(page->total);
    page->total = nullptr;
}
