#include "app/Scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Str.h"

namespace {
const bool heapReady = PrivateHeapCreate();

// The markers as the page carries them, in Windows-1251.
const std::string Total = "\xCD\xE0\xF8\xE8 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8 "
                          "\xEE\xF1\xF2\xE0\xE2\xE8\xEB\xE8 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:";
const std::string Users = "\xC7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED\xED\xFB\xE5 "
                          "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8:";
const std::string End = "</span></td>";
const std::string None = "\xCD\xE5\xF2";  // the page's word for "nobody"

struct Rows {
    bool isUsers;
    int32_t count;
    std::vector<std::string> rows;
};

void Collect(void* context, const char* row) { static_cast<Rows*>(context)->rows.push_back(row); }

Rows Scan(const std::string& line) {
    Rows r{};
    r.count = -1;
    r.isUsers = UsersFromLine(line.c_str(), Collect, &r, &r.count);
    return r;
}

std::string TotalOf(const std::string& line, bool* isTotal) {
    StrVar total = nullptr;
    *isTotal = TotalFromLine(line.c_str(), &total);
    std::string text = total ? total : "(null)";
    StrVarFree(total);
    return text;
}
}  // namespace

TEST(ExtractBetween, TakesTextAfterFirstLeftUpToNextRight) {
    ASSERT_TRUE(heapReady);
    ScratchInit();
    const struct {
        const char* text;
        const char* left;
        const char* right;
        const char* want;
    } cases[] = {
        {"a[x]b[y]", "[", "]", "x"},
        {"a]x[y]", "[", "]", "y"},  // the right end must follow the left one
        {"a[x", "[", "]", ""},      {"ax]", "[", "]", ""},
        {"a[]", "[", "]", ""},      {"a[x]", "", "]", ""},
        {"a[x]", "[", "", ""},      // an empty right end is never found
        {nullptr, "[", "]", ""},
    };
    for (const auto& c : cases) {
        int32_t pos = ScratchEnd();
        EXPECT_STREQ(ExtractBetween(c.text, c.left, c.right, pos), c.want) << (c.text ? c.text : "(null)");
        EXPECT_EQ(ScratchEnd(), pos + StrLen(c.want));
        ScratchRewind(pos);
    }
    // Temporaries built in the area are copied before the result overwrites them.
    StrAppend("<<x>>");
    char* text = ScratchPass(0);
    StrAppend("<");
    char* left = ScratchPass(6);
    EXPECT_STREQ(ExtractBetween(text, left, ">", 0), "<x");
    ScratchInit();
}

TEST(TotalFromLine, TakesFirstBoldRunOfAMarkedLine) {
    const struct {
        std::string line;
        bool isTotal;
        const char* total;
    } cases[] = {
        {"<td><b>12</b> x</td>", false, "(null)"},
        {"<span class=\"gensmall\">" + Total + " <b>4176</b><br />", true, "4176"},
        {Total + " 4176", true, ""},
        {Total + " <b>4176", true, ""},
        {"<b>early</b> " + Total + " <b>4176</b>", true, "early"},  // from the line's start
        {"", false, "(null)"},
    };
    for (const auto& c : cases) {
        bool isTotal = false;
        EXPECT_EQ(TotalOf(c.line, &isTotal), c.total) << c.line;
        EXPECT_EQ(isTotal, c.isTotal) << c.line;
    }
    EXPECT_FALSE(TotalFromLine(nullptr, nullptr));
}

TEST(UsersFromLine, SplitsRowsWithOneSurplusPass) {
    const struct {
        std::string after;
        std::vector<std::string> rows;
    } cases[] = {
        // Every entry a link: the surplus pass yields an empty last row.
        {" <a href=x1><b>Ann</b></a>, <a href=x2>Bob</a>" + End, {" Ann", " Bob", ""}},
        // No links: the plain word is the one row, leading space kept.
        {" " + None + End, {" " + None}},
        // No end of the list: just the appended comma is left.
        {" <a href=x1>Ann</a>", {""}},
        // A ">" inside an attribute adds a pass, and the tag is cut at it.
        {" <a href=\"x>y\">Ann</a>" + End, {" y\">Ann", "", ""}},
        // The same link twice goes in one pass.
        {" <a href=x1>Ann</a>, <a href=x1>Ann</a>" + End, {" Ann", "", ""}},
        // The same name behind different links is two rows.
        {" <a href=x1>Ann</a>, <a href=x2>Ann</a>" + End, {" Ann", " Ann", ""}},
        // An administrator's coloured link and a hidden user's italics, as the page writes them;
        // nothing is decoded or trimmed.
        {" <a href=\"profile.php?mode=viewprofile&amp;u=2\"style=\"color:#FFA34F\"><b>admin</b></a>, "
         "<a href=\"profile.php?mode=viewprofile&amp;u=9\"><i>K&amp;K</i></a>" + End,
         {" admin", " <i>K&amp;K</i>", "", "", ""}},
    };
    for (const auto& c : cases) {
        Rows r = Scan("<td>x <b>1</b><br />" + Users + c.after + "<td>tail</td>");
        EXPECT_TRUE(r.isUsers);
        EXPECT_EQ(r.rows, c.rows) << c.after;
        EXPECT_EQ(r.count, static_cast<int32_t>(r.rows.size())) << c.after;
    }
    Rows none = Scan("<td>" + Total + "</td>");
    EXPECT_FALSE(none.isUsers);
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(none.rows.empty());
}

TEST(Scanner, LineWithBothMarkersIsBoth) {
    std::string line = Total + " <b>7</b> " + Users + " <a href=u1>Ann</a>" + End;
    bool isTotal = false;
    EXPECT_EQ(TotalOf(line, &isTotal), "7");
    EXPECT_TRUE(isTotal);
    Rows r = Scan(line);
    EXPECT_EQ(r.rows, (std::vector<std::string>{" Ann", ""}));
}

// The poll cycle reads its line into the area and hands the same pointer to both rules; the
// first must not build over it.
TEST(Scanner, LineInTheAreaIsLeftIntact) {
    std::string line = Total + " <b>7</b> " + Users + " <a href=u1>Ann</a>" + End;
    ScratchInit();
    StrAppend(line.c_str());
    int32_t end = ScratchEnd();
    StrVar total = nullptr;
    EXPECT_TRUE(TotalFromLine(ScratchPointerAt(1), &total));
    EXPECT_STREQ(total, "7");
    EXPECT_EQ(ScratchEnd(), end);
    EXPECT_EQ(std::string(ScratchPointerAt(1)), line);
    Rows r{};
    EXPECT_TRUE(UsersFromLine(ScratchPointerAt(1), Collect, &r, &r.count));
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(std::string(ScratchPointerAt(1)), line);
    StrVarFree(total);
    ScratchInit();
}

// Hostile pages: each surplus pass must not cost a scan of the whole line.
TEST(Scanner, GarbageLinesEndWithoutFault) {
    struct Tally {
        int32_t rows;
        size_t firstLength;
        std::string last;
    } tally{};
    auto count = [](void* context, const char* row) {
        auto* t = static_cast<Tally*>(context);
        if (t->rows++ == 0)
            t->firstLength = std::string(row).size();
        t->last = row;
    };
    std::string tags(10 * 1024 * 1024, '>');
    int32_t rows = 0;
    EXPECT_TRUE(UsersFromLine((Users + tags + End).c_str(), count, &tally, &rows));
    EXPECT_EQ(rows, static_cast<int32_t>(tags.size()) + 1);
    EXPECT_EQ(tally.rows, rows);
    EXPECT_EQ(tally.firstLength, tags.size());
    EXPECT_EQ(tally.last, "");

    std::mt19937 rng(1206);
    std::string binary(64 * 1024, '\0');
    for (char& ch : binary)
        ch = static_cast<char>(rng() % 255 + 1);
    std::string line = Total + "<b>" + binary + "</b>" + Users + binary + End;
    bool isTotal = false;
    EXPECT_EQ(TotalOf(line, &isTotal).size(), binary.size());
    Rows b = Scan(line);
    EXPECT_EQ(b.count, static_cast<int32_t>(b.rows.size()));
    EXPECT_FALSE(TotalFromLine("", nullptr));
    EXPECT_FALSE(UsersFromLine(nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(UsersFromLine(Users.c_str(), nullptr, nullptr, nullptr));
}
