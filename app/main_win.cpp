#include <windows.h>
#include <shellapi.h>

#include "app/ForumAddress.h"
#include "app/Shell.h"
#include "app/Texts.h"
#include "app/Watcher.h"

// The forum compiled in, unless the command line names another.
const char* forumSiteRoot = FORUM_SITE_ROOT;

// Test copies of the watcher poll more often and give a download up sooner, so that a test run
// waits less; the product keeps its own timing.
#ifdef FORUMWATCH_POLL_MS
WatcherTiming watcherTiming = {FORUMWATCH_POLL_MS, FORUMWATCH_DEADLINE_MS};
#else
WatcherTiming watcherTiming = ProductTiming;
#endif

namespace {

char givenRoot[ForumRootRoom];

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

// Read in UTF-16, so that a Cyrillic host arrives whole whatever the ANSI code page. Nothing has
// been made or written yet when an argument is refused.
ForumVerdict TakeArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return ForumVerdict::Refused;
    ForumVerdict verdict = count > 2 ? ForumVerdict::Refused : ForumVerdict::Usable;
    if (count == 2)
        verdict = ForumRootFromArgument(reinterpret_cast<const char16_t*>(arguments[1]),
                                        givenRoot, sizeof givenRoot);
    if (count == 2 && verdict == ForumVerdict::Usable)
        forumSiteRoot = givenRoot;
    LocalFree(arguments);
    return verdict;
}

}  // namespace

// An optional argument names the forum's site root.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    switch (TakeArgument()) {
    case ForumVerdict::Usable:
        break;
    case ForumVerdict::Refused:
        ShellSay(UsageText);
        return ExitBadArgument;
    case ForumVerdict::HostNotAscii:
        ShellSay(HostNotAsciiText);
        return ExitBadArgument;
    }
    const StartUp started = ShellStartUp();
    switch (started) {
    case StartUp::Running:
        break;
    case StartUp::AnotherCopy:
        return 0;
    default:
        ShellSayStartUpFailed(started);
        return ExitStartUpFailed;
    }
    ShellRunLoop();
    ShellShutDown();
}
