// The scanner's worked cases and the huge lines; fuzz/page_fuzz.cpp holds small garbage pages
// to its counting rule, and that a line in the area survives both rules.
#include "app/Scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

namespace {
const bool heapReady = PrivateHeapCreate();

const std::string Total = TotalMarker;
const std::string Users = UsersMarker;
const std::string End = "</span></td>";
using Rows = std::vector<std::string>;

Rows Scan(const char* line) {
    Rows rows;
    int32_t count = -1;
    auto collect = [](void* rows, const char* row) { static_cast<Rows*>(rows)->push_back(row); };
    if (!UsersFromLine(line, collect, &rows, &count))
        return {"(not a users line)"};
    EXPECT_EQ(count, static_cast<int32_t>(rows.size())) << line;
    return rows;
}

std::string TotalOf(const char* line) {
    StrVar total = nullptr;
    const std::string text = TotalFromLine(line, &total) ? total : "(not a total line)";
    StrVarFree(total);
    return text;
}
}  // namespace

TEST(TotalFromLine, TakesFirstBoldRunOfAMarkedLine) {
    ASSERT_TRUE(heapReady);
    const std::string cases[][2] = {
        {"<td><b>12</b> x</td>", "(not a total line)"},
        {"<span class=\"gensmall\">" + Total + " <b>4176</b><br />", "4176"},
        {Total + " 4176", ""},
        {Total + " <b>4176", ""},
        {"<b>early</b> " + Total + " <b>4176</b>", "early"},  // from the line's start
        {"</b>" + Total + " <b>4176</b><b>5</b>", "4176"},    // the close must follow the open
    };
    for (const auto& c : cases)
        EXPECT_EQ(TotalOf(c[0].c_str()), c[1]) << c[0];
    // Arguments built in the area are copied before the result overwrites them.
    ScratchInit();
    const ScratchMark text;
    StrAppend("<<x>>");
    const char* passedText = text.Pass();
    const ScratchMark open;
    StrAppend("<");
    EXPECT_STREQ(ExtractBetween(passedText, open.Pass(), ">", text.Pos()), "<x");
}

TEST(UsersFromLine, SplitsRowsWithOneSurplusPass) {
    const struct {
        std::string after;
        Rows rows;
    } cases[] = {
        // Every entry a link: the surplus pass yields an empty last row.
        {" <a href=x1><b>Ann</b></a>, <a href=x2>Bob</a>" + End, {" Ann", " Bob", ""}},
        // No links: the page's word for "nobody" is the one row, leading space kept.
        {" \xCD\xE5\xF2" + End, {" \xCD\xE5\xF2"}},
        {" <a href=x1>Ann</a>", {""}},  // no end of the list: only the appended comma
        // A ">" inside an attribute adds a pass, and the tag is cut at it.
        {" <a href=\"x>y\">Ann</a>" + End, {" y\">Ann", "", ""}},
        {" <a href=x1>Ann</a>, <a href=x1>Ann</a>" + End, {" Ann", "", ""}},      // one link twice
        {" <a href=x1>Ann</a>, <a href=x2>Ann</a>" + End, {" Ann", " Ann", ""}},  // two links
        // An administrator's coloured link and a hidden user's italics, as the page writes
        // them; nothing is decoded or trimmed.
        {" <a href=\"profile.php?mode=viewprofile&amp;u=2\"style=\"color:#FFA34F\"><b>admin</b>"
         "</a>, <a href=\"profile.php?mode=viewprofile&amp;u=9\"><i>K&amp;K</i></a>" +
             End,
         {" admin", " <i>K&amp;K</i>", "", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scan(("<td>x <b>1</b><br />" + Users + c.after + "<td>x</td>").c_str()), c.rows)
            << c.after;
    EXPECT_EQ(Scan(Total.c_str()), Rows{"(not a users line)"});
}

// Hostile pages end without fault, and a run of surplus passes (one per ">") does not cost a
// scan each: a megabyte of them would take hours.
TEST(Scanner, HugeLinesEndWithoutFault) {
    const std::string tags(1024 * 1024, '>');
    const Rows rows = Scan((Users + tags + End).c_str());
    ASSERT_EQ(rows.size(), tags.size() + 1);
    EXPECT_TRUE(rows[0] == tags);
    EXPECT_TRUE(UsersFromLine(Users.c_str(), nullptr, nullptr, nullptr));
}
