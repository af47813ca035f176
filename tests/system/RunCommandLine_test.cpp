#include "toolkit/system/RunCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RunCommandLineBuild, QuotesUnlessAlreadyQuoted) {
    const char* cases[][2] = {
        {"C:\\Program Files\\app.exe", "\"C:\\Program Files\\app.exe\""},
        {"\"C:\\app.exe\" -x", "\"C:\\app.exe\" -x"},  // the caller's quoting is kept
        {"\"", "\""},
        {"", "\"\""},
        {nullptr, "\"\""},
    };
    for (const auto& c : cases) {
        std::vector<char> out(RunCommandLineSize(c[0]));  // a sanitizer sees a write past it
        RunCommandLineBuild(c[0], out.data());
        EXPECT_STREQ(out.data(), c[1]) << (c[0] ? c[0] : "(null)");
    }
}

// A backslash in first place gives no folder; any later one counts, even the second of "\\".
TEST(RunWorkingDirectoryLength, EndsAtTheLastBackslashAfterTheFirstByte) {
    const struct {
        const char* target;
        int32_t want;
    } cases[] = {
        {"C:\\docs\\notes.txt", 8},
        {"C:\\a\\b\\", 7},
        {"\\notes.txt", 0},
        {"\\\\server", 2},
        {"\\\\server\\share\\x.txt", 15},
        {"http://host/path/", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunWorkingDirectoryLength(c.target), c.want) << (c.target ? c.target : "(null)");
}
