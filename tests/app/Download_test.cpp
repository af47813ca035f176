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
    std::vector<Report> reports;
    bool complete;
};

// Systems differ in which reports come and in what order; only the data reports say how much of
// the page arrived, so nothing that follows them may change the verdict.
TEST(DownloadTakeReport, JudgesThePageByItsDataReportsOnly) {
    constexpr uint32_t Connecting = 2, TypeKnown = 13, CacheFileKnown = 14;
    const SequenceCase cases[] = {
        {"a whole page, then a cache report with counts of its own",
         {{Connecting, 0, 0},
          {TypeKnown, 0, 0},
          {DownloadBeginData, 8192, 46274},
          {DownloadData, 40000, 46274},
          {DownloadEndData, 46274, 46274},
          {CacheFileKnown, 0, 46274}},
         true},
        {"a type report with no count after the data",
         {{DownloadEndData, 46274, 46274}, {TypeKnown, 0, 100}},
         true},
        {"a page sent in chunks with no length",
         {{DownloadData, 4096, 0}, {DownloadEndData, 50000, 0}},
         true},
        {"cut short of its length",
         {{DownloadBeginData, 4096, 46274},
          {DownloadEndData, 23137, 46274},
          {CacheFileKnown, 0, 0}},
         false},
        {"an empty answer", {{Connecting, 0, 0}}, true},
    };
    for (const SequenceCase& c : cases) {
        DownloadProgress progress{};
        progress.status = 200;
        for (const Report& r : c.reports)
            EXPECT_TRUE(DownloadTakeReport(&progress, r.status, r.count, r.max)) << c.what;
        EXPECT_EQ(DownloadComplete(progress), c.complete) << c.what;
    }
}

// An error page is saved like the page on Wine; no answer at all is no page either.
TEST(DownloadComplete, CountsOnlyAWholePageWithA2xxStatus) {
    const struct {
        uint32_t status;
        bool counts;
    } cases[] = {{0, false},   {199, false}, {200, true},  {204, true},  {299, true},
                 {300, false}, {404, false}, {500, false}, {503, false}};
    for (const auto& c : cases)
        EXPECT_EQ(DownloadComplete({46274, 46274, 0, c.status}), c.counts) << c.status;
}

TEST(DownloadTakeReport, GivesUpARedirectChainPastItsCap) {
    DownloadProgress progress{};
    for (int32_t hop = 1; hop <= DownloadRedirectCap; ++hop)
        EXPECT_TRUE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0)) << hop;
    EXPECT_FALSE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0));
}
