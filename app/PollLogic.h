#pragma once
#include <cstdint>

#include "app/Scanner.h"
#include "toolkit/text/StrVar.h"

// The decisions of one poll cycle and the texts it shows, apart from the window and the
// network so that they run (and are tested) anywhere.

constexpr int32_t ToneMoreUsers = 980;   // Hz: someone came on-line
constexpr int32_t ToneFewerUsers = 400;  // Hz: someone left
constexpr int32_t ToneMilliseconds = 1000;

int32_t PollToneFor(int32_t lastUserCount, int32_t count);  // Hz; 0 = no tone
// The total changed since a total was last seen; the very first total (an empty last total)
// only sets the baseline.
bool PollTotalAlerts(const char* lastTotal, const char* total);
// Label 3 shows `total` already: a total has been shown (the last total is not null, as it is
// before the first) and it is the same text.
bool PollTotalShown(const char* lastTotal, const char* total);

// The rows of a users line, kept so that a page's rows can be told from the rows the list shows
// without reading the list back across threads: one private-heap block of zero-terminated texts.
struct RowList {
    char* text;      // `count` rows one after another, each with its terminator
    int32_t length;  // bytes in use
    int32_t room;    // bytes held
    int32_t count;
    bool incomplete;  // a row found no memory: the list then equals no other
};
void RowListAdd(RowList* rows, const char* row);
bool RowListEqual(const RowList& a, const RowList& b);
void RowListEach(const RowList& rows, RowSink sink, void* context);  // in order
void RowListClear(RowList* rows);  // empty, keeping the block for the next page
void RowListFree(RowList* rows);

// What one page file holds, read whole before anything is shown, so the window never waits for a
// scan.
struct PageContent {
    bool totalLine;        // a total line was read
    StrVar total;          // the last total line's total text; null reads as ""
    int32_t totalChanges;  // alerts due: changes from the last total through each total line
    bool usersLine;        // the users line was read; its rows are in the caller's list
    int32_t userCount;
    int32_t lines;  // lines read: up to and including the users line, or all of them
};
// Reads the file at `path` as file number `file` through the scanner rules, up to and including
// the users line, which ends the reading. `lastTotal` is the total last seen (null before the
// first); `rows` is cleared, then receives the users line's rows. False when the file cannot be
// opened: then nothing has changed. The scratch area is left as it was found.
bool PollReadPage(int32_t file, const char* path, const char* lastTotal, RowList* rows,
                  PageContent* page);
void PageContentFree(PageContent* page);

// Texts built at `pos` in the scratch area, leaving end = pos + length (ready for ScratchMark::Pass).
// `total` and `siteRoot` must lie outside the area.
char* PollIndexAddress(const char* siteRoot, int32_t pos);
char* PollTotalText(const char* total, int32_t pos);   // label 3
char* PollCounterText(int32_t newCount, int32_t pos);  // label 4
char* PollStampText(int32_t date, int32_t pos);        // label 1
