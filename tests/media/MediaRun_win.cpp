// Images, tray icons and sound under Wine, and the toolkit's shut-down, which frees one of each.
// Run twice (tests/media/CMakeLists.txt): with an ALSA device that records what is played into
// the WAV file FORUMWATCH_SOUND_RECORD names, and with no usable device, where sound must fail
// quietly. Wine's explorer provides a notification area under Xvfb.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <objbase.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

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

const char* RecordFile() { return std::getenv("FORUMWATCH_SOUND_RECORD"); }

class MediaEnvironment : public ::testing::Environment {
    void SetUp() override {
        if (RecordFile())
            DeleteFileA(RecordFile());  // a fresh recording each run
        ASSERT_TRUE(PrivateHeapCreate() && (ImageInit(), TrayInit(), ImageProbeAlpha(), true));
        ASSERT_FALSE(TrayAlphaIconsSupported())
            << "the tests expect a desktop that draws no "
               "alpha: Wine without themes, and no version 6 controls asked for";
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MediaEnvironment);

// Rows bottom-up, or top-down for a negative height.
BITMAPINFO Header(LONG width, LONG height, WORD bits = 32) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}
// The side of an icon's colour bitmap; 0 when the handle is no icon.
LONG IconSide(intptr_t handle) {
    ICONINFO info{};
    BITMAP colour{};
    if (!GetIconInfo(reinterpret_cast<HICON>(handle), &info))
        return 0;
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    return DeleteObject(info.hbmColor), DeleteObject(info.hbmMask), colour.bmWidth;
}
bool IsBitmap(intptr_t handle) {
    return GetObjectType(reinterpret_cast<HANDLE>(handle)) == OBJ_BITMAP;
}
// Asked with the same owner and identifier, the shell modifies only an icon it knows.
bool ShellKnows(HWND owner, int32_t id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE, data.hWnd = owner, data.uID = UINT(id);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;  // no flags: changes nothing
}

Bytes Bmp32(uint32_t alpha, int32_t height = 2) {
    return MakeBmp(3, height, 32, {},
                   [alpha](int32_t x, int32_t r) { return alpha << 24 | r << 16 | x * 40; });
}

class Image : public ::testing::Test {
    void TearDown() override { TrayFreeAll(), ImageFreeAll(); }
};

// 3 x 2 files, bottom row first unless the height is negative: top-left is (x 0, file row 1).
TEST_F(Image, BitmapsKeepTheirPixelsAndGainDepthOrOpacityAsNeeded) {
    struct Case {
        const char* what;
        Bytes file;
        int bits;
        uint32_t topLeft, bottomRight;
    };
    const Case cases[] = {
        {"8-bit",
         MakeBmp(3, 2, 8, {0xFF, 0xFF00, 0xFF0000},
                 [](int32_t x, int32_t r) { return (x + r) % 3u; }),
         24, 0xFF00, 0xFF0000},
        {"32-bit without alpha", Bmp32(0), 32, 0xFF010000, 0xFF000050},
        {"32-bit top-down", Bmp32(0x80, -2), 32, 0x80000000, 0x80010050},
    };
    for (const Case& c : cases) {
        auto bitmap = reinterpret_cast<HBITMAP>(ImageFromMemory(3, c.file.data(), c.file.size()));
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), int(sizeof section)) << c.what;
        uint32_t pixels[6] = {};  // as BGRA, top row first; the alpha byte only from 32-bit bitmaps
        BITMAPINFO request = Header(3, -2);
        HDC screen = GetDC(nullptr);
        GetDIBits(screen, bitmap, 0, 2, pixels, &request, DIB_RGB_COLORS),
            ReleaseDC(nullptr, screen);
        const uint32_t colour = c.bits == 32 ? 0xFFFFFFFF : 0xFFFFFF;
        EXPECT_EQ(
            std::make_tuple(int(section.dsBm.bmBitsPixel), pixels[0] & colour, pixels[5] & colour),
            std::make_tuple(c.bits, c.topLeft, c.bottomRight))
            << c.what;
    }
}

// The header walks are tested natively against every kind of lie; here only that a verdict
// reaches the caller, after the number's old image is gone. An icon is made at its own size.
TEST_F(Image, ANumberHoldsOneImageAndAFailedDecodeEmptiesIt) {
    const Bytes ico = MakeIco({{32, 32}}), bmp = Bmp32(0);
    const intptr_t first = ImageFromMemory(8, IconIdle, IconIdleSize);
    const intptr_t second = ImageFromMemory(8, ico.data(), ico.size());
    EXPECT_EQ(std::make_tuple(IconSide(first), IconSide(second)), std::make_tuple(0L, 32L));
    Bytes lying(IconIdle, IconIdle + IconIdleSize);
    Put(lying, 18, 2000);  // the image lies beyond the file
    for (const Bytes& bad : {lying, Bytes{'h', 'e', 'l', 'l', 'o'}}) {
        const intptr_t bitmap = ImageFromMemory(8, bmp.data(), bmp.size());
        EXPECT_EQ(ImageFromMemory(8, bad.data(), bad.size()), 0);
        EXPECT_FALSE(IsBitmap(bitmap) || IconSide(second));
    }
    ImageFree(8);  // nothing left to free
    const intptr_t chosen = ImageFromMemory(AutoNumber, IconNew, IconNewSize);
    const intptr_t other = ImageFromMemory(AutoNumber, bmp.data(), bmp.size());
    EXPECT_TRUE(chosen >= AutoNumberBase && other >= AutoNumberBase && chosen != other);
}

TEST_F(Image, TrayIconsReachTheShellAndOutliveTheirImages) {
    HWND owner =
        CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const intptr_t idle = ImageFromMemory(8, IconIdle, IconIdleSize);
    const Bytes bmp = Bmp32(0xFF);
    const intptr_t bitmap = ImageFromMemory(10, bmp.data(), bmp.size());
    EXPECT_EQ(TrayAdd(7, owner, 0) + TrayAdd(7, nullptr, idle) + TrayChange(12, idle), 0);
    ASSERT_NE(TrayAdd(7, owner, idle), 0);
    ASSERT_NE(TrayAdd(7, owner, idle), 0) << "the shell refuses a second icon: the first left";
    const auto chosen = int32_t(TrayAdd(AutoNumber, owner, bitmap));
    ASSERT_GE(chosen, AutoNumberBase);
    // The shell copies every icon, so the image may go at once, as the watcher's does when it
    // decodes its icon number again. A bitmap is converted afresh each time and stays ours.
    ImageFromMemory(8, IconNew, IconNewSize);
    EXPECT_EQ(TrayChange(7, bitmap) + TrayChange(7, bitmap) + TrayChange(7, 0), 2);
    EXPECT_TRUE(IsBitmap(bitmap) && ShellKnows(owner, 7) && ShellKnows(owner, chosen));
    TrayRemove(7), TrayRemove(7);
    EXPECT_FALSE(ShellKnows(owner, 7) || TrayChange(7, idle)) << "a removed icon is not in use";
    DestroyWindow(owner);
}

// A 4 x 2 bitmap whose first row in memory is opaque on its left half and the rest see-through;
// with `alpha` false every alpha byte is zero. That row is the top one of a device-dependent
// bitmap and the bottom one of a DIB, stored bottom-up as decoded images are.
HBITMAP Shaped(int bits, bool dib, bool alpha = true) {
    const uint32_t a = alpha ? 0xFF00FF00 : 0xFF00,
                   shaped[8] = {a, a, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00};
    if (!dib)
        return CreateBitmap(4, 2, 1, bits, shaped);  // read back by copying
    BITMAPINFO info = Header(4, 2, WORD(bits));
    void* memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    if (bitmap)
        std::memcpy(memory, shaped, 8 * bits / 8);
    return bitmap;
}

TEST(TrayMakeMask, ShapesByAlphaOnlyWhereTheDesktopCannotAndTheBitmapHasAny) {
    constexpr uint32_t TopLeft = 0x30F0, BottomLeft = 0xF030,
                       Opaque = 0;  // rows of 1 = see-through
    struct Case {
        const char* what;
        HBITMAP bitmap;
        bool alphaDrawn;
        uint32_t want;
    };
    const Case cases[] = {
        {"alpha, desktop without alpha", Shaped(32, true), false, BottomLeft},
        {"alpha, desktop draws alpha", Shaped(32, true), true, Opaque},
        {"every alpha byte zero", Shaped(32, true, false), false, Opaque},
        {"24-bit", Shaped(24, true), false, Opaque},
        {"device-dependent 32-bit", Shaped(32, false), false, TopLeft},
    };
    for (const Case& c : cases) {
        HBITMAP mask = TrayMakeMask(c.bitmap, c.alphaDrawn);
        uint8_t rows[4] = {};  // two rows of 16 bits; the left four pixels of each are looked at
        ASSERT_EQ(GetBitmapBits(mask, sizeof rows, rows), LONG(sizeof rows)) << c.what;
        EXPECT_EQ(uint32_t((rows[0] & 0xF0) << 8 | (rows[2] & 0xF0)), c.want) << c.what;
        DeleteObject(mask), DeleteObject(c.bitmap);
    }
}

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(5))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

// The recording so far, scaled to -1..1: it is still being written, so all after the header counts.
std::vector<double> Recorded() {
    std::ifstream file(RecordFile(), std::ios::binary);
    const std::vector<char> b((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    std::vector<double> samples;
    for (size_t at = 44; at + 2 <= b.size(); at += 2)
        samples.push_back(int16_t(uint8_t(b[at]) | b[at + 1] << 8) / 32768.0);
    return samples;
}

class Sound : public ::testing::Test {
    void SetUp() override {
        if (!RecordFile())
            GTEST_SKIP() << "needs the recording device";
        ASSERT_EQ(SoundInit(), 1);
    }
};

// First, so that nothing played before is still in the pipeline. Wine writes ahead and rewinds,
// which the recording keeps: it shows silence until the chime plays, then at least the energy
// of one playing at full volume, but neither its timing nor its exact energy.
TEST_F(Sound, TheChimeReachesTheDevice) {
    ASSERT_TRUE(WaitUntil([] { return std::ifstream(RecordFile()).good(); }, 3000));
    const std::vector<double> before = Recorded();
    for (double v : before)
        ASSERT_LT(std::fabs(v), 0.01) << "silence until we play";
    ASSERT_TRUE(SoundFromMemory(5, AlertSound, AlertSoundSize) && SoundPlay(5));
    std::vector<double> after;
    ASSERT_TRUE(
        WaitUntil([&] { return (after = Recorded()).size() > before.size() + 22050 * 3; }, 10000));
    double recorded = 0, expected = 0, peak = 0;
    for (size_t i = before.size(); i < after.size(); ++i)
        recorded += after[i] * after[i], peak = std::max(peak, std::fabs(after[i]));
    for (size_t i = 44; i < AlertSoundSize; ++i)
        expected += std::pow((AlertSound[i] - 128) / 128.0, 2);
    EXPECT_TRUE(peak > 0.3 && recorded > 0.6 * expected)
        << "the whole chime, at full volume: " << peak << ", " << recorded;
}

// The watcher plays sound 5 again while it may still sound: it starts over, once through. A
// sound is replaced only by a complete new one.
TEST_F(Sound, ASoundIsABufferOfItsSamplesThatStartsOverAndGoesOnlyForAWholeNewOne) {
    auto* buffer =
        reinterpret_cast<IDirectSoundBuffer*>(SoundFromMemory(5, AlertSound, AlertSoundSize));
    void* part = nullptr;
    DWORD size = 0, position = 0, status = 0;
    WAVEFORMATEX format{};
    ASSERT_TRUE(buffer && buffer->GetFormat(&format, sizeof format, nullptr) == DS_OK);
    DSBCAPS caps{sizeof caps, 0, 0, 0, 0};
    EXPECT_TRUE(std::memcmp(&format, AlertSound + 20, 16) == 0 && buffer->GetCaps(&caps) == DS_OK &&
                caps.dwFlags & DSBCAPS_STATIC)
        << "one static buffer in the file's format";
    ASSERT_EQ(buffer->Lock(0, 0, &part, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_TRUE(size == AlertSoundSize - 44 && std::memcmp(part, AlertSound + 44, size) == 0)
        << "the file's samples";
    buffer->Unlock(part, size, nullptr, 0);
    auto playing = [&] {
        return buffer->GetCurrentPosition(&position, nullptr), buffer->GetStatus(&status),
               status & DSBSTATUS_PLAYING;
    };
    ASSERT_EQ(SoundPlay(5), 1);
    ASSERT_TRUE(WaitUntil([&] { return playing() && position > 11025; }, 5000))
        << "half a second in";
    ASSERT_EQ(SoundPlay(5), 1);
    EXPECT_TRUE(playing() && position < 11025) << "back near the start: " << position;
    EXPECT_TRUE(WaitUntil([&] { return !playing(); }, 6000)) << "stops by itself";
    EXPECT_EQ(SoundFromMemory(5, "RIFF", 4) + SoundFromMemory(5, AlertSound, 100), 0);
    ASSERT_EQ(SoundPlay(5), 1) << "the sound loaded before the failures is still there";
    buffer->AddRef();  // our own reference shows when the table lets go
    ASSERT_NE(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    EXPECT_EQ(buffer->Release(), 0u) << "the table held no reference any more";
    SoundFree(5);
    const auto chosen = int32_t(SoundFromMemory(AutoNumber, AlertSound, AlertSoundSize));
    EXPECT_TRUE(chosen >= AutoNumberBase && SoundPlay(chosen) == 1 && SoundPlay(5) == 0);
    EXPECT_EQ((SoundFree(chosen), SoundPlay(chosen)), 0);
}

// DirectSound binds to a hidden window however the device fared; without a device everything
// else fails quietly.
TEST(SoundWithoutDevice, FailsQuietlyButKeepsItsWindow) {
    SoundInit();
    HWND window = FindWindowA("MultimediaBase Class", "");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE((SendMessageA(window, WM_CLOSE, 0, 0), IsWindow(window)) &&
                !IsWindowVisible(window));
    if (RecordFile())
        GTEST_SKIP() << "a device is configured for this run";
    EXPECT_EQ(SoundInit() + SoundFromMemory(5, AlertSound, AlertSoundSize) + SoundPlay(5), 0);
    EXPECT_EQ((SoundFreeAll(), SoundInit()), 0) << "asking again is harmless";
}

HANDLE gate;  // manual-reset: the thread below runs until it is set
uint32_t WaitAtGate(int32_t) { return WaitForSingleObject(gate, 10000); }
bool OpenAlone(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

// Last: it ends every area. One object of each, then shut-down a step at a time: each step
// lets go of its own area and of nothing else, in an order where nothing outlives what it needs.
TEST_F(Sound, ToolkitShutsDownOneAreaAtATime) {
    ToolkitStartUp();
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "the main thread has joined COM";
    char self[MAX_PATH] = {};
    CoUninitialize(), GetModuleFileNameA(nullptr, self, sizeof self);
    HWND window = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 200, 100, "toolkit", WS_CAPTION));
    const intptr_t icon = ImageFromMemory(8, IconIdle, IconIdleSize);
    gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(window && TrayAdd(7, window, icon) &&
                SoundFromMemory(5, AlertSound, AlertSoundSize) && FileOpenRead(0, self) &&
                ThreadStart(WaitAtGate, 0));
    const std::function<bool()> alive[] = {
        [] { return ThreadHeldCount() > 0; }, [&] { return ShellKnows(window, 7); },
        [] { return SoundPlay(5) == 1; },     [&] { return IsWindow(window) != 0; },
        [&] { return IconSide(icon) > 0; },   [&] { return !OpenAlone(self); },
    };
    for (int32_t step = -1; step < 6; ++step) {
        EXPECT_TRUE(step < 0 || ToolkitShutDownStep(step));
        for (int32_t area = 0; area < 6; ++area)
            EXPECT_EQ(alive[area](), area > step) << "area " << area << " after step " << step;
    }
    EXPECT_FALSE((SetEvent(gate), ToolkitShutDownStep(6)));
}

}  // namespace
