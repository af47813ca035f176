#include "toolkit/system/RunCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct QuoteCase { const char* target; const char* want; };
TEST(RunCommandLineBuild, QuotesUnlessAlreadyQuoted) {
    const QuoteCase cases[] = {
        {"C:\\Program Files\\app.exe", "\"C:\\Program Files\\app.exe\""},
        {"http://127.0.0.1:8611/", "\"http://127.0.0.1:8611/\""},
        {"\"C:\\app.exe\" -x", "\"C:\\app.exe\" -x"},  // the caller's quoting is kept
        {"\"", "\""},
        {"", "\"\""},
        {nullptr, "\"\""},
    };
    for (const QuoteCase& c : cases) {
        // Exactly the advertised size, so a sanitizer catches a write past it.
        std::vector<char> out(RunCommandLineSize(c.target));
        RunCommandLineBuild(c.target, out.data());
        EXPECT_EQ(std::string(out.data()), c.want) << (c.target ? c.target : "(null)");
    }
}

struct FolderCase { const char* target; int32_t want; };
TEST(RunWorkingDirectoryLength, EndsAtTheLastBackslashAfterTheFirstByte) {
    const FolderCase cases[] = {
        {"C:\\docs\\notes.txt", 8},  // "C:\docs\"
        {"C:\\notes.txt", 3},
        {"C:\\a\\b\\", 7},
        {"\\notes.txt", 0},          // a backslash in first place gives no folder
        {"\\\\server", 2},        // any later backslash counts, even the second of "\\"
        {"\\\\server\\share\\x.txt", 15},
        {"notes.txt", 0},
        {"http://host/path/", 0},
        {"", 0},
        {nullptr, 0},
    };
    for (const FolderCase& c : cases)
        EXPECT_EQ(RunWorkingDirectoryLength(c.target), c.want) << (c.target ? c.target : "(null)");
}
