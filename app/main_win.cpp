#include <windows.h>

#include "app/Poll.h"
#include "app/Shell.h"

// The forum is fixed when the program is built; nothing at run time can change it.
const char* forumSiteRoot = FORUM_SITE_ROOT;

// The watcher takes nothing from its command line or environment.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ShellStartUp();
    ShellRunLoop();
    ShellShutDown();
}
