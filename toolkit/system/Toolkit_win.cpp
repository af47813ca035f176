#include "toolkit/system/Toolkit.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "toolkit/media/Image.h"
#include "toolkit/media/Sound.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

// Each area may rely on those set up before it: files build their lines in the scratch area,
// the alpha probe must run before any tray icon is made, windows before gadgets. The image
// area's decoder list stays empty here, so ImageInit is its whole start-up.
void ToolkitStartUp() {
    ScratchInit();
    FileInit();
    ImageProbeAlpha();
    ImageInit();
    WinInit();
    GadgetInit();
    TrayInit();
    ThreadInit();
    InitCommonControls();
    // Only the main thread joins COM; the shell's launching of documents needs it there.
    CoInitialize(nullptr);
}

// Tray icons are removed while their owner window still exists, and images freed only once no
// window can show one. Running threads are not waited for: the process ends right after.
void ToolkitShutDown() {
    ThreadCloseAll();
    TrayFreeAll();
    SoundFreeAll();
    WinEnd();
    ImageFreeAll();
    FileCloseAll();
}
