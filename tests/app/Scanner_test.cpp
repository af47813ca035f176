#include "app/Scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/Str.h"
#include "toolkit/text/StrVar.h"

namespace {
const bool heapReady = PrivateHeapCreate();

// The markers as the page carries them, in Windows-1251.
const std::string Total = "\xCD\xE0\xF8\xE8 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8 "
                          "\xEE\xF1\xF2\xE0\xE2\xE8\xEB\xE8 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:";
const std::string Users = "\xC7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED\xED\xFB\xE5 "
                          "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8:";
const std::string End = "</span></td>";

struct Rows {
    int32_t count;
    std::vector<std::string> rows;
};

void Collect(void* context, const char* row) { static_cast<Rows*>(context)->rows.push_back(row); }

Rows Scan(const char* line) {
    Rows r{-1, {}};
    if (!UsersFromLine(line, Collect, &r, &r.count))
        r.rows.push_back("(not a users line)");
    return r;
}

std::string TotalOf(const char* line) {
    StrVar total = nullptr;
    bool isTotal = TotalFromLine(line, &total);
    std::string text = isTotal ? total : "(not a total line)";
    StrVarFree(total);
    return text;
}
}  // namespace

TEST(ExtractBetween, TakesTextAfterFirstLeftUpToNextRight) {
    ASSERT_TRUE(heapReady);
    ScratchInit();
    const char* cases[][4] = {
        {"a[x]b[y]", "[", "]", "x"}, {"a]x[y]", "[", "]", "y"},  // the right end must follow
        {"a[x", "[", "]", ""},       {"ax]", "[", "]", ""},
        {"a[x]", "", "]", ""},       {"a[x]", "[", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(ExtractBetween(c[0], c[1], c[2], 0), c[3]) << c[0];
    // Temporaries built in the area are copied before the result overwrites them.
    StrAppend("<<x>>");
    char* text = ScratchPass(0);
    StrAppend("<");
    EXPECT_STREQ(ExtractBetween(text, ScratchPass(6), ">", 0), "<x");
}

TEST(TotalFromLine, TakesFirstBoldRunOfAMarkedLine) {
    const std::string cases[][2] = {
        {"<td><b>12</b> x</td>", "(not a total line)"},
        {"<span class=\"gensmall\">" + Total + " <b>4176</b><br />", "4176"},
        {Total + " 4176", ""},
        {Total + " <b>4176", ""},
        {"<b>early</b> " + Total + " <b>4176</b>", "early"},  // from the line's start
    };
    for (const auto& c : cases)
        EXPECT_EQ(TotalOf(c[0].c_str()), c[1]) << c[0];
}

TEST(UsersFromLine, SplitsRowsWithOneSurplusPass) {
    const struct {
        std::string after;
        std::vector<std::string> rows;
    } cases[] = {
        // Every entry a link: the surplus pass yields an empty last row.
        {" <a href=x1><b>Ann</b></a>, <a href=x2>Bob</a>" + End, {" Ann", " Bob", ""}},
        // No links: the page's word for "nobody" is the one row, leading space kept.
        {" \xCD\xE5\xF2" + End, {" \xCD\xE5\xF2"}},
        {" <a href=x1>Ann</a>", {""}},  // no end of the list: only the appended comma
        // A ">" inside an attribute adds a pass, and the tag is cut at it.
        {" <a href=\"x>y\">Ann</a>" + End, {" y\">Ann", "", ""}},
        {" <a href=x1>Ann</a>, <a href=x1>Ann</a>" + End, {" Ann", "", ""}},    // one link twice
        {" <a href=x1>Ann</a>, <a href=x2>Ann</a>" + End, {" Ann", " Ann", ""}},  // two links
        // An administrator's coloured link and a hidden user's italics, as the page writes
        // them; nothing is decoded or trimmed.
        {" <a href=\"profile.php?mode=viewprofile&amp;u=2\"style=\"color:#FFA34F\"><b>admin</b></a>, "
         "<a href=\"profile.php?mode=viewprofile&amp;u=9\"><i>K&amp;K</i></a>" + End,
         {" admin", " <i>K&amp;K</i>", "", "", ""}},
    };
    for (const auto& c : cases) {
        std::string line = "<td>x <b>1</b><br />" + Users + c.after + "<td>tail</td>";
        Rows r = Scan(line.c_str());
        EXPECT_EQ(r.rows, c.rows) << c.after;
        EXPECT_EQ(r.count, static_cast<int32_t>(r.rows.size())) << c.after;
    }
    EXPECT_EQ(Scan(Total.c_str()).count, 0);
}

// The poll cycle reads its line into the area and hands the same pointer to both rules: the
// first must not build over it, and a line may satisfy both.
TEST(Scanner, LineInTheAreaIsLeftIntactForTheNextRule) {
    std::string line = Total + " <b>7</b> " + Users + " <a href=u1>Ann</a>" + End;
    ScratchInit();
    StrAppend(line.c_str());
    int32_t end = ScratchEnd();
    EXPECT_EQ(TotalOf(ScratchPointerAt(1)), "7");
    EXPECT_EQ(ScratchEnd(), end);
    EXPECT_EQ(Scan(ScratchPointerAt(1)).rows, (std::vector<std::string>{" Ann", ""}));
    EXPECT_EQ(std::string(ScratchPointerAt(1)), line);
    ScratchInit();
}

// Hostile pages end without fault, and a run of surplus passes does not cost a scan each.
// fuzz/page_fuzz.cpp holds small garbage lines to the rules; these are the huge ones.
TEST(Scanner, HugeLinesEndWithoutFault) {
    struct Tally {
        int32_t rows;
        size_t firstLength;
    } tally{};
    auto count = [](void* context, const char* row) {
        auto* t = static_cast<Tally*>(context);
        if (t->rows++ == 0)
            t->firstLength = std::string(row).size();
    };
    std::string tags(10 * 1024 * 1024, '>');
    int32_t rows = 0;
    EXPECT_TRUE(UsersFromLine((Users + tags + End).c_str(), count, &tally, &rows));
    EXPECT_EQ(rows, static_cast<int32_t>(tags.size()) + 1);
    EXPECT_EQ(tally.rows, rows);
    EXPECT_EQ(tally.firstLength, tags.size());

    std::mt19937 rng(1206);
    std::string binary(10 * 1024 * 1024, '\0');
    for (char& ch : binary)
        ch = static_cast<char>(rng() % 255 + 1);
    EXPECT_EQ(TotalOf((Total + "<b>" + binary + "</b>").c_str()).size(), binary.size());
    EXPECT_EQ(TotalOf(""), "(not a total line)");
    EXPECT_FALSE(TotalFromLine(nullptr, nullptr));
    EXPECT_TRUE(UsersFromLine(Users.c_str(), nullptr, nullptr, nullptr));
}
