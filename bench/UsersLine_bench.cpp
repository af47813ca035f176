// UsersFromLine on who-is-online lines of phpBB2 shape with many linked names.
#include <cstdio>
#include <string>

#include "BenchTimer.h"
#include "app/Scanner.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/system/Heap.h"

static std::string UsersLine(int names) {
    std::string line =
        "\t<td class=\"row1\" align=\"left\"><span class=\"gensmall\">Online: <b>9</b>"
        "<br />";
    line += UsersMarker;
    for (int i = 0; i < names; ++i) {
        line += i ? ", " : " ";
        std::string uid = std::to_string(100 + i);
        if (i == 0)
            line +=
                "<a "
                "href=\"profile.php?mode=viewprofile&amp;u=2\"style=\"color:#FFA34F\"><b>admin</"
                "b></a>";
        else
            line +=
                "<a href=\"profile.php?mode=viewprofile&amp;u=" + uid + "\">user_" + uid + "</a>";
    }
    return line + "</span></td>";
}

static void CountRow(void* context, const char*) { ++*static_cast<long*>(context); }

int main() {
    PrivateHeapCreate();
    ScratchInit();
    const int sizes[] = {10, 100, 1000, 3000, 5000};
    for (int names : sizes) {
        std::string line = UsersLine(names);
        long rows = 0;
        int32_t count = 0;
        double us = BestMicrosecondsPerRun(
            3, [&] { UsersFromLine(line.c_str(), CountRow, &rows, &count); });
        std::printf("UsersFromLine: %4d names, %6zu-byte line: %10.1f us per line (%d rows)\n",
                    names, line.size(), us, count);
    }
    return 0;
}
