#include <windows.h>

#include "app/Shell.h"
#include "app/Watcher.h"

// The forum is fixed when the program is built; nothing at run time can change it.
const char* forumSiteRoot = FORUM_SITE_ROOT;

// Test copies of the watcher poll more often and give a download up sooner, so that a test run
// waits less; the product keeps its own timing.
#ifdef FORUMWATCH_POLL_MS
WatcherTiming watcherTiming = {FORUMWATCH_POLL_MS, FORUMWATCH_DEADLINE_MS};
#else
WatcherTiming watcherTiming = ProductTiming;
#endif

// The watcher takes nothing from its command line or environment.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    switch (ShellStartUp()) {
    case StartUp::AnotherCopy:
        return 0;
    case StartUp::Failed:
        return ExitStartUpFailed;
    case StartUp::Running:
        break;
    }
    ShellRunLoop();
    ShellShutDown();
}
