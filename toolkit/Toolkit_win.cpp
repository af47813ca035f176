#include "toolkit/Toolkit.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <iterator>

#include "toolkit/media/Image.h"
#include "toolkit/media/Sound.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

namespace {

using ToolkitStep = void (*)();

void InitControls() { InitCommonControls(); }
// Only the main thread joins COM; the shell's launching of documents needs it there.
void JoinCom() { CoInitialize(nullptr); }

// Each area may rely on those set up before it: files build their lines in the scratch area,
// the alpha probe must run before any tray icon is made, windows before gadgets.
constexpr ToolkitStep StartUpSteps[] = {
    ScratchInit, FileInit, ImageProbeAlpha, ImageInit,    WinInit,
    GadgetInit,  TrayInit, ThreadInit,      InitControls, JoinCom,
};

// Tray icons are removed while their owner window still exists, and images freed only once no
// window can show one. Running threads are not waited for: the process ends right after.
constexpr ToolkitStep ShutDownSteps[] = {
    ThreadCloseAll, TrayFreeAll, SoundFreeAll, WinEnd, ImageFreeAll, FileCloseAll,
};

}  // namespace

void ToolkitStartUp() {
    for (ToolkitStep step : StartUpSteps)
        step();
}

bool ToolkitShutDownStep(int32_t step) {
    if (step < 0 || step >= static_cast<int32_t>(std::size(ShutDownSteps)))
        return false;
    ShutDownSteps[step]();
    return true;
}

void ToolkitShutDown() {
    for (int32_t step = 0; ToolkitShutDownStep(step); ++step) {
    }
}
