#include "toolkit/Toolkit.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "app/resources/Resources.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

namespace {

constexpr DWORD WaitLimit = 10000;
HANDLE gate;

uint32_t WaitAtGate(int32_t) {
    WaitForSingleObject(gate, WaitLimit);
    return 0;
}

std::string OwnPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// True when nobody else holds the file open.
bool OpenAlone(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

}  // namespace

// One start-up, used the way the watcher uses it, then one shut-down while a thread still runs.
TEST(Toolkit, StartsEveryAreaAndShutsDownWithoutWaitingForThreads) {
    ASSERT_TRUE(PrivateHeapCreate());
    ToolkitStartUp();

    // COM has been joined on this thread already.
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    const std::string temp = TempDirectory(ScratchEnd());
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');

    HWND window = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 200, 300, "toolkit", 0xCA0001));
    ASSERT_NE(window, nullptr);
    EXPECT_NE(LabelCreate(1, 5, 5, 190, 20, "label"), 0);
    const intptr_t icon = ImageFromMemory(8, IconIdle, IconIdleSize);
    ASSERT_NE(icon, 0);
    EXPECT_NE(TrayAdd(7, window, icon), 0);
    const std::string self = OwnPath();
    EXPECT_NE(FileOpenRead(0, self.c_str()), 0);
    EXPECT_FALSE(OpenAlone(self));

    gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(ThreadStart(WaitAtGate, 0), 1);

    ToolkitShutDown();  // returns although the thread waits at the gate

    EXPECT_EQ(ThreadHeldCount(), 0);
    EXPECT_EQ(TrayChange(7, reinterpret_cast<intptr_t>(LoadIconA(nullptr, IDI_APPLICATION))), 0)
        << "the tray icon is gone";
    EXPECT_FALSE(IsWindow(window));
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(icon), &info)) << "the image is freed";
    EXPECT_TRUE(OpenAlone(self)) << "file 0 is closed";

    SetEvent(gate);
    CloseHandle(gate);
    PrivateHeapDestroy();
}
