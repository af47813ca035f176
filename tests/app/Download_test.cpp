#include "app/Download.h"

#include <gtest/gtest.h>

#include <vector>

struct BoundCase {
    uint64_t bytes;
    uint32_t elapsedMs;
    bool over;
};
TEST(DownloadOverBound, GivesUpPastTheCapOrAtTheDeadlineOnly) {
    constexpr uint32_t Deadline = 60000;
    const BoundCase cases[] = {
        {0, 0, false},
        {DownloadByteCap, Deadline - 1, false},  // both bounds reached, none passed
        {DownloadByteCap + 1, 0, true},
        {0, Deadline, true},           // silence alone ends it
        {uint64_t(1) << 40, 0, true},  // past 32 bits of bytes too
    };
    for (const BoundCase& c : cases)
        EXPECT_EQ(DownloadOverBound(c.bytes, c.elapsedMs, Deadline), c.over)
            << c.bytes << " B, " << c.elapsedMs << " ms";
    // The 32-bit millisecond counter wraps every 49.7 days, possibly during a download.
    EXPECT_EQ(DownloadElapsedMs(1000, 61000), 60000u);
    EXPECT_EQ(DownloadElapsedMs(UINT32_MAX - 999, 500), 1500u);
}

struct Report {
    uint32_t status;
    uint64_t count;
    uint64_t max;
};
struct SequenceCase {
    const char* what;
    uint32_t answer;  // the HTTP status
    std::vector<Report> reports;
    bool complete;
};

// Systems differ in which reports come and in what order; only the data reports say how much of
// the page arrived, so nothing that follows them may change the verdict. An error page is saved
// like the page on Wine: only a 2xx status tells them apart.
TEST(DownloadTakeReport, JudgesThePageByItsStatusAndDataReportsOnly) {
    constexpr uint32_t Connecting = 2, TypeKnown = 13, CacheFileKnown = 14;
    const SequenceCase cases[] = {
        {"a whole page, then a cache report with counts of its own",
         200,
         {{Connecting, 0, 0},
          {TypeKnown, 0, 0},
          {DownloadBeginData, 8192, 46274},
          {DownloadData, 40000, 46274},
          {DownloadEndData, 46274, 46274},
          {CacheFileKnown, 0, 46274}},
         true},
        {"a type report with no count after the data",
         299,
         {{DownloadEndData, 46274, 46274}, {TypeKnown, 0, 100}},
         true},
        {"a page sent in chunks with no length",
         200,
         {{DownloadData, 4096, 0}, {DownloadEndData, 50000, 0}},
         true},
        {"cut short of its length",
         200,
         {{DownloadBeginData, 4096, 46274},
          {DownloadEndData, 23137, 46274},
          {CacheFileKnown, 0, 0}},
         false},
        {"an empty answer", 204, {{Connecting, 0, 0}}, true},
        {"a whole error page", 404, {{DownloadEndData, 100, 100}}, false},
        {"a whole page after a status short of success", 199, {{DownloadEndData, 1, 1}}, false},
        {"a whole page with a redirect's status", 300, {{DownloadEndData, 1, 1}}, false},
        {"no answer at all", 0, {}, false},
    };
    for (const SequenceCase& c : cases) {
        DownloadProgress progress{};
        progress.status = c.answer;
        for (const Report& r : c.reports)
            EXPECT_TRUE(DownloadTakeReport(&progress, r.status, r.count, r.max)) << c.what;
        EXPECT_EQ(DownloadComplete(progress), c.complete) << c.what;
    }
}

TEST(DownloadTakeReport, GivesUpARedirectChainPastItsCap) {
    DownloadProgress progress{};
    for (int32_t hop = 1; hop <= DownloadRedirectCap; ++hop)
        EXPECT_TRUE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0)) << hop;
    EXPECT_FALSE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0));
}
