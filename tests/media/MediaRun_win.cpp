// Images, tray icons and sound under Wine, and the toolkit's shut-down, which frees one of each.
// Run twice (tests/media/CMakeLists.txt): with an ALSA device (MEDIA_SOUND_DEVICE set), and
// with no usable device, where sound must fail quietly. Wine's explorer provides a notification
// area under Xvfb.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"
#include "toolkit/Toolkit.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/Sound.h"
#include "toolkit/media/Tray.h"
#include "toolkit/media/TrayMask.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/system/Thread.h"
#include "toolkit/window/Win.h"

namespace {

class MediaEnvironment : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ToolkitStartUp();
        // Wine without themes, and no version 6 controls asked for
        ASSERT_FALSE(TrayAlphaIconsSupported()) << "the tests expect a desktop without alpha";
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MediaEnvironment);

// The bits of an icon's colour bitmap (four bytes a pixel here); empty when the handle is no icon.
std::string IconBits(intptr_t handle) {
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(handle), &info))
        return {};
    std::string bits(size_t(GetBitmapBits(info.hbmColor, 0, nullptr)), '\0');
    GetBitmapBits(info.hbmColor, LONG(bits.size()), bits.data());
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits;
}
// Asked with the same owner and identifier, the shell modifies only an icon it knows.
bool ShellKnows(HWND owner, int32_t id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = UINT(id);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;  // no flags: changes nothing
}
bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(5))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

// The watcher decodes each icon under one number and hands it to the tray: the old image must
// go, also when a decode fails, while the shell keeps its own copy. An icon is made at its own
// size.
TEST(Image, ANumberHoldsOneImageAndTrayIconsOutliveThem) {
    HWND owner =
        CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    Bytes ico = MakeIco({{32, 32}});
    const intptr_t idle = ImageFromMemory(8, IconIdle, IconIdleSize);
    EXPECT_EQ(TrayAdd(7, owner, 0) + TrayAdd(7, nullptr, idle) + TrayChange(12, idle), 0);
    ASSERT_NE(TrayAdd(7, owner, idle), 0);
    ASSERT_NE(TrayAdd(7, owner, idle), 0) << "the shell refuses a second icon: the first left";
    const intptr_t big = ImageFromMemory(8, ico.data(), ico.size());
    EXPECT_TRUE(IconBits(idle).empty() && IconBits(big).size() == 32 * 32 * 4)
        << "the old image went, the new one is at its own size";
    EXPECT_EQ(TrayChange(7, big) + TrayChange(7, 0), 1);
    Put(ico, 18, 2000);  // the image lies beyond the file
    EXPECT_EQ(ImageFromMemory(8, ico.data(), ico.size()), 0);
    EXPECT_TRUE(IconBits(big).empty() && ShellKnows(owner, 7))
        << "a failed decode empties the number";
    EXPECT_GE(ImageFromMemory(AutoNumber, IconNew, IconNewSize), AutoNumberBase);
    DestroyWindow(owner);
}

// A taskbar of our own, found before Wine's since it is the newest: Shell_NotifyIcon hands it
// each icon (WM_COPYDATA: the message as dwData; the owner and number first, the icon's colour
// bits last). It can refuse everything, or forget every icon as a re-created taskbar does.
struct StandInTaskbar {
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    bool refuse = false;
    int32_t calls = 0;
    std::map<std::pair<HWND, UINT>, std::string> icons;  // the colour bits each was last given
    ~StandInTaskbar() { DestroyWindow(window); }
};
StandInTaskbar* taskbar;
LRESULT CALLBACK StandInProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA || !taskbar)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto* data = static_cast<const char*>(copy->lpData);
    const auto key = std::make_pair(HWND(intptr_t(*reinterpret_cast<const LONG*>(data))),
                                    *reinterpret_cast<const UINT*>(data + 4));
    const bool known = taskbar->icons.count(key) > 0;
    ++taskbar->calls;
    if (taskbar->refuse || known != (copy->dwData != NIM_ADD))
        return FALSE;
    if (copy->dwData == NIM_DELETE)
        taskbar->icons.erase(key);
    else if (*reinterpret_cast<const UINT*>(data + 8) & NIF_ICON)
        taskbar->icons[key].assign(data, copy->cbData);
    return TRUE;
}
// Whether the colour bits the taskbar holds for an icon end with those of an image.
bool Shows(HWND owner, UINT id, intptr_t image) {
    const std::string bits = IconBits(image);
    const std::string& held = taskbar->icons[{owner, id}];
    return !bits.empty() && held.size() > bits.size() &&
           held.compare(held.size() - bits.size(), bits.size(), bits) == 0;
}

// An icon outlives the taskbar: one refused by a taskbar not there yet, removed behind the
// toolkit's back, or lost by a taskbar that went away, comes back with the image it has now.
TEST(Tray, AnIconComesBackWithItsCurrentImage) {
    const intptr_t red = ImageFromMemory(80, IconIdle, IconIdleSize);
    const intptr_t blue = ImageFromMemory(81, IconNew, IconNewSize);
    const WNDCLASSA standIn{0,       StandInProc, 0,       0,       nullptr,
                            nullptr, nullptr,     nullptr, nullptr, "Shell_TrayWnd"};
    RegisterClassA(&standIn);
    StandInTaskbar bar;
    taskbar = &bar;
    const HWND owner = bar.window;  // any window may own the icon
    bar.refuse = true;
    EXPECT_EQ(TrayAdd(7, owner, red) + TrayChange(7, blue), 0) << "no taskbar yet";
    bar.refuse = false;
    TrayRetryFailed();
    EXPECT_TRUE(Shows(owner, 7, blue)) << "the refused icon, with the image given since";
    const int32_t calls = bar.calls;
    TrayRetryFailed();
    EXPECT_EQ(bar.calls, calls) << "nothing to retry, nothing asked";
    bar.icons.clear();  // removed from outside
    EXPECT_EQ(TrayChange(7, red), 0);
    TrayRetryFailed();
    EXPECT_TRUE(Shows(owner, 7, red)) << "a refused change is retried as an add";
    bar.icons.clear();  // the taskbar was re-created
    TrayAddAgain();
    EXPECT_TRUE(Shows(owner, 7, red)) << "added again, though it was shown";
    TrayRemove(7);
    EXPECT_TRUE(bar.icons.empty());
    taskbar = nullptr;
}

// A 4 x 2 DIB, stored bottom-up as decoded images are, whose first row in memory (the bottom
// one) is opaque on its left half and the rest see-through; with `alpha` false every alpha byte
// is zero.
HBITMAP Shaped(WORD bits, bool alpha = true) {
    const uint32_t a = alpha ? 0xFF00FF00 : 0xFF00;
    const uint32_t shaped[8] = {a, a, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, 4, 2, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
    void* memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    if (bitmap)
        std::memcpy(memory, shaped, 8 * bits / 8);
    return bitmap;
}

TEST(TrayMakeMask, ShapesByAlphaOnlyWhereTheDesktopCannotAndTheBitmapHasAny) {
    constexpr uint32_t BottomLeft = 0xF030, Opaque = 0;  // 1 = see-through
    const std::tuple<const char*, HBITMAP, bool, uint32_t> cases[] = {
        {"alpha, desktop without alpha", Shaped(32), false, BottomLeft},
        {"alpha, desktop draws alpha", Shaped(32), true, Opaque},
        {"every alpha byte zero", Shaped(32, false), false, Opaque},
        {"24-bit", Shaped(24), false, Opaque},
    };
    for (const auto& [what, bitmap, alphaDrawn, want] : cases) {
        HBITMAP mask = TrayMakeMask(bitmap, alphaDrawn);
        uint8_t rows[4] = {};  // two rows of 16 bits; the left four pixels of each are looked at
        ASSERT_EQ(GetBitmapBits(mask, sizeof rows, rows), LONG(sizeof rows)) << what;
        EXPECT_EQ(uint32_t((rows[0] & 0xF0) << 8 | (rows[2] & 0xF0)), want) << what;
        DeleteObject(mask);
        DeleteObject(bitmap);
    }
}

// The ALSA configuration this run was started with (tests/media/CMakeLists.txt) is ours to
// write: DirectSound finds a device exactly while it names one. The device records what it
// plays, appended to one file however often it is opened (16 kHz, 16-bit mono samples).
const std::string unixConfig = std::getenv("ALSA_CONFIG_PATH");
const std::string alsaConfig = "Z:" + unixConfig, recording = alsaConfig + ".raw";
void SetDevice(bool present) {
    std::ofstream config(alsaConfig);
    if (present)
        config << "pcm.!default { type plug; slave { pcm \"recorder\"; rate 16000; channels 1;"
                  " format S16_LE } }\npcm.recorder { type file; slave.pcm \"discard\";"
                  " file \"|cat >>"
               << unixConfig << ".raw\"; format \"raw\" }\npcm.discard { type null }\n";
    else
        config << "pcm.!default { type hw; card 31 }\nctl.!default { type hw; card 31 }\n";
}
std::string Recorded() {
    std::ifstream file(recording, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}
// Chimes recorded: onsets of 50 ms stretches louder than a tenth of full scale after a quarter
// of a second without (the chime is loud for its first second of 2.4; a busy machine may leave
// short gaps of silence in a chime).
int32_t Chimes() {
    const std::string bytes = Recorded();
    int32_t onsets = 0, quiet = 5;
    for (size_t at = 0; at + 1600 <= bytes.size(); at += 1600) {
        const auto* stretch = reinterpret_cast<const int16_t*>(bytes.data() + at);
        const bool loud =
            std::any_of(stretch, stretch + 800, [](int16_t v) { return std::abs(v) > 3000; });
        onsets += loud && quiet >= 5;
        quiet = loud ? 0 : quiet + 1;
    }
    return onsets;
}
// A play is heard (a second more recorded than `from`, the size before it), and the device is let
// go afterwards: nothing grows the recording any more (an open device records silence too).
bool PlaysThenStops(size_t from) {
    size_t last = SIZE_MAX;
    return WaitUntil([&] { return Recorded().size() > from + 16000 * 2; }, 5000) &&
           WaitUntil(
               [&] {
                   Sleep(400);
                   const size_t before = std::exchange(last, Recorded().size());
                   return before == last;
               },
               10000);
}

// Each run starts with the device it is given (none in the run without) and no recording.
const bool withDevice = std::getenv("MEDIA_SOUND_DEVICE") != nullptr;
class Sound : public ::testing::Test {
    void SetUp() override {
        SetDevice(withDevice);
        DeleteFileA(recording.c_str());
        ASSERT_EQ(SoundInit(), 1);
    }
};

// The watcher loads sound 5 anew and plays it for every alert, on the window's thread, which a
// play must not hold up while the device opens. A sound played again while it still sounds
// starts over; plays asked for close together are all heard. The device is let go once all
// have played. A sound is replaced only by a complete new one.
TEST_F(Sound, EveryPlayIsHeardAndTheDeviceGoesOnceTheyHavePlayed) {
    if (!withDevice)
        GTEST_SKIP() << "needs the sound device";
    ASSERT_NE(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    const DWORD asked = GetTickCount();
    ASSERT_EQ(SoundPlay(5), 1);
    const DWORD playMs = GetTickCount() - asked;
    // The first open in a process takes longest (a third of a second under Wine): the
    // recording begins once it is done, and the play must have returned well before.
    ASSERT_TRUE(WaitUntil([] { return !Recorded().empty(); }, 5000));
    EXPECT_LT(playMs * 2, GetTickCount() - asked) << "a play waited for the device to open";
    // Past the chime's loud first second, while it still sounds
    ASSERT_TRUE(WaitUntil([] { return Recorded().size() > 16000 * 2 * 3 / 2; }, 5000));
    ASSERT_NE(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    ASSERT_EQ(SoundPlay(5) + SoundPlay(5), 2) << "the second before the first was played";
    EXPECT_TRUE(PlaysThenStops(0)) << "the device is let go";
    EXPECT_EQ(Chimes(), 3);
    EXPECT_EQ(SoundFromMemory(5, "RIFF", 4) + SoundFromMemory(5, AlertSound, 100), 0);
    const size_t before = Recorded().size();
    ASSERT_EQ(SoundPlay(5), 1) << "the sound loaded before the failures is still there";
    EXPECT_TRUE(PlaysThenStops(before));
    EXPECT_EQ(Chimes(), 4);
}

// DirectSound binds to a hidden window however the device fares. Start-up opens no device, so
// a device missing then is found by the first chime. (Wine lists a process's devices once, at
// its first chime: one that first appears after that is not found until the next start.)
TEST_F(Sound, AChimeFindsADeviceThatCameAfterStartUp) {
    if (withDevice)
        GTEST_SKIP() << "a device is configured for this run";
    HWND window = FindWindowA("MultimediaBase Class", "");
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window) && !IsWindowVisible(window));
    ASSERT_NE(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    SetDevice(true);
    EXPECT_EQ(SoundPlay(5), 1);
    EXPECT_TRUE(PlaysThenStops(0));
    EXPECT_EQ(Chimes(), 1);
}

// Threads of this process named as the toolkit names its sound thread.
extern "C" HRESULT WINAPI GetThreadDescription(HANDLE, PWSTR*);  // in kernel32, not the headers
int32_t SoundThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{sizeof entry, 0, 0, 0, 0, 0, 0};
    int32_t count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId())
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
        PWSTR name = nullptr;
        if (thread && SUCCEEDED(GetThreadDescription(thread, &name)) && name) {
            count += std::wcscmp(name, L"sound") == 0;
            LocalFree(name);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

HANDLE gate;  // manual-reset: the thread below runs until it is set
uint32_t WaitAtGate(int32_t) { return WaitForSingleObject(gate, 10000); }
bool OpenAlone(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

// It ends every area. One object of each, then shut-down a step at a time: each step lets go of
// its own area and of nothing else, in an order where nothing outlives what it needs.
TEST_F(Sound, ToolkitShutsDownOneAreaAtATime) {
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "the main thread has joined COM";
    CoUninitialize();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    HWND window = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 200, 100, "toolkit", WS_CAPTION));
    const intptr_t icon = ImageFromMemory(8, IconIdle, IconIdleSize);
    gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const auto tray = int32_t(TrayAdd(AutoNumber, window, icon));
    const auto sound = int32_t(SoundFromMemory(AutoNumber, AlertSound, AlertSoundSize));
    ASSERT_TRUE(window && tray && sound && FileOpenRead(0, self) && ThreadStart(WaitAtGate, 0));
    ASSERT_EQ(SoundThreads(), 1);
    const std::function<bool()> alive[] = {
        [] { return ThreadHeldCount() > 0; },
        [&] { return ShellKnows(window, tray); },
        [&] { return SoundPlay(sound) == 1 || SoundThreads() != 0; },
        [&] { return IsWindow(window) != 0; },
        [&] { return !IconBits(icon).empty(); },
        [&] { return !OpenAlone(self); },
    };
    for (int32_t step = -1; step < 6; ++step) {
        EXPECT_TRUE(step < 0 || ToolkitShutDownStep(step));
        for (int32_t area = 0; area < 6; ++area)
            EXPECT_EQ(alive[area](), area > step) << "area " << area << " after step " << step;
    }
    SetEvent(gate);
    EXPECT_FALSE(ToolkitShutDownStep(6));
}

}  // namespace
