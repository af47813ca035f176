#include "app/Download.h"

#include <gtest/gtest.h>

struct BoundCase { uint64_t bytes; uint32_t elapsedMs; bool want; };
TEST(DownloadOverBound, GivesUpPastTheCapOrTheDeadlineOnly) {
    const BoundCase cases[] = {
        {0, 0, false},
        {DownloadByteCap, DownloadDeadlineMs - 1, false},  // both bounds reached, none passed
        {DownloadByteCap + 1, 0, true},
        {0, DownloadDeadlineMs, true},                      // silence alone ends it
        {200ull << 20, 5, true},                            // past 32 bits of bytes too
        {uint64_t(1) << 40, 0, true},
        {0, UINT32_MAX, true},
    };
    for (const BoundCase& c : cases)
        EXPECT_EQ(DownloadOverBound(c.bytes, c.elapsedMs, DownloadDeadlineMs), c.want) << c.bytes << " B, "
                                                                    << c.elapsedMs << " ms";
}

struct TickCase { uint32_t start; uint32_t now; uint32_t want; };
TEST(DownloadElapsedMs, CountsAcrossTheTickCounterWrap) {
    const TickCase cases[] = {
        {1000, 1000, 0},
        {1000, 61000, 60000},
        {UINT32_MAX - 999, 500, 1500},   // the counter wrapped during the download
        {UINT32_MAX, 0, 1},
    };
    for (const TickCase& c : cases)
        EXPECT_EQ(DownloadElapsedMs(c.start, c.now), c.want) << c.start << " -> " << c.now;
}

struct CompleteCase { uint64_t received; uint64_t announced; bool want; };
TEST(DownloadComplete, AShortBodyUnderAnAnnouncedLengthIsAFailure) {
    const CompleteCase cases[] = {
        {46274, 46274, true},
        {23137, 46274, false},   // the connection dropped halfway
        {0, 46274, false},
        {0, 0, true},            // no length announced: the end of the connection is the end
        {5000, 0, true},
    };
    for (const CompleteCase& c : cases) {
        DownloadProgress p{};
        EXPECT_TRUE(DownloadTakeReport(&p, DownloadEndData, c.received, c.announced));
        EXPECT_EQ(DownloadComplete(p), c.want) << c.received << " of " << c.announced;
    }
}
