#include "app/Download.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

TEST(DownloadOverBound, GivesUpPastTheCapOrAtTheDeadlineOnly) {
    constexpr uint32_t Deadline = 60000;
    const std::tuple<uint64_t, uint32_t, bool> cases[] = {
        // bytes, ms since the start, over
        {0, 0, false},
        {DownloadByteCap, Deadline - 1, false},  // both bounds reached, none passed
        {DownloadByteCap + 1, 0, true},
        {0, Deadline, true},           // silence alone ends it
        {uint64_t(1) << 40, 0, true},  // past 32 bits of bytes too
    };
    for (const auto& [bytes, elapsedMs, over] : cases)
        EXPECT_EQ(DownloadOverBound(bytes, elapsedMs, Deadline), over)
            << bytes << " B, " << elapsedMs << " ms";
    // The 32-bit millisecond counter wraps every 49.7 days, possibly during a download.
    EXPECT_EQ(DownloadElapsedMs(1000, 61000), 60000u);
    EXPECT_EQ(DownloadElapsedMs(UINT32_MAX - 999, 500), 1500u);
}

// Systems differ in which reports come and in what order; only the data reports say how much of
// the page arrived, so nothing that follows them may change the verdict. An error page is saved
// like the page on Wine: only a 2xx status tells them apart.
TEST(DownloadTakeReport, JudgesThePageByItsStatusAndDataReportsOnly) {
    constexpr uint32_t Connect = 2, Type = 13, Cache = 14;  // reports with no data
    const struct {
        const char* what;
        uint32_t answer;                               // the HTTP status
        std::vector<std::array<uint64_t, 3>> reports;  // status, count, max
        bool complete;
    } cases[] = {
        {"a whole page, then a cache report with counts of its own",
         200,
         {{Connect, 0, 0},
          {Type, 0, 0},
          {DownloadBeginData, 8192, 46274},
          {DownloadData, 40000, 46274},
          {DownloadEndData, 46274, 46274},
          {Cache, 0, 46274}},
         true},
        {"a type report after the data", 299, {{DownloadEndData, 9, 9}, {Type, 0, 1}}, true},
        {"chunks with no length", 200, {{DownloadData, 4096, 0}, {DownloadEndData, 5000, 0}}, true},
        {"cut short", 200, {{DownloadData, 4, 9}, {DownloadEndData, 5, 9}, {Cache, 0, 0}}, false},
        {"an empty answer", 204, {{Connect, 0, 0}}, true},
        {"a whole error page", 404, {{DownloadEndData, 100, 100}}, false},
        {"a whole page after a status short of success", 199, {{DownloadEndData, 1, 1}}, false},
        {"a whole page with a redirect's status", 300, {{DownloadEndData, 1, 1}}, false},
        {"no answer at all", 0, {}, false},
    };
    for (const auto& c : cases) {
        DownloadProgress progress{};
        progress.status = c.answer;
        for (const auto& r : c.reports)
            EXPECT_TRUE(DownloadTakeReport(&progress, uint32_t(r[0]), r[1], r[2])) << c.what;
        EXPECT_EQ(DownloadComplete(progress), c.complete) << c.what;
    }
}

TEST(DownloadTakeReport, GivesUpARedirectChainPastItsCap) {
    DownloadProgress progress{};
    for (int32_t hop = 1; hop <= DownloadRedirectCap; ++hop)
        EXPECT_TRUE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0)) << hop;
    EXPECT_FALSE(DownloadTakeReport(&progress, DownloadRedirecting, 0, 0));
}
