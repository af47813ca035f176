// Tray icons against Wine's notification area (its explorer provides one under Xvfb). The
// shell is asked directly, with the same owner window and identifier, whether an icon exists:
// modifying or deleting an icon the shell does not know fails.
#include "toolkit/media/Tray.h"

#include <shellapi.h>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"
#include "tests/window/WindowTestSupport.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/TrayMask.h"
#include "toolkit/system/ObjectTable.h"

namespace {

class TrayEnvironment : public WindowToolkitEnvironment {
public:
    void SetUp() override {
        WindowToolkitEnvironment::SetUp();
        ImageInit();
        ImageProbeAlpha();
        TrayInit();
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new TrayEnvironment);

bool ShellKnows(HWND owner, int32_t id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner;
    data.uID = static_cast<UINT>(id);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;  // no flags: changes nothing
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 200, 100, "tray", 0xCA0001));
        ASSERT_NE(owner, nullptr);
        idle = ImageFromMemory(8, IconIdle, IconIdleSize);
        alert = ImageFromMemory(9, IconNew, IconNewSize);
        ASSERT_NE(idle, 0);
        ASSERT_NE(alert, 0);
    }
    void TearDown() override {
        TrayFreeAll();
        WinClose(0);
        ImageFreeAll();
    }
    HWND owner = nullptr;
    intptr_t idle = 0, alert = 0;
};

// Wine draws no visual styles by default and the test program asks for no version 6 controls,
// so the alpha channel of bitmaps goes into the mask, as on an unthemed Windows.
TEST_F(TrayTest, ProbeFindsNoAlphaDesktopWithoutStyles) {
    EXPECT_FALSE(TrayAlphaIconsSupported());
}

// The shell refuses a second icon with the same owner and identifier, so adding under a number
// in use succeeds only if the first icon left the notification area first.
TEST_F(TrayTest, AddChangeAndRemoveReachTheShell) {
    EXPECT_EQ(TrayAdd(7, owner, 0), 0);
    EXPECT_EQ(TrayAdd(7, nullptr, idle), 0);
    EXPECT_FALSE(ShellKnows(owner, 7));
    EXPECT_EQ(TrayChange(12, idle), 0) << "never added";

    ASSERT_NE(TrayAdd(7, owner, idle), 0);
    EXPECT_TRUE(ShellKnows(owner, 7));
    EXPECT_EQ(TrayChange(7, alert), 1);
    EXPECT_EQ(TrayChange(7, 0), 0);
    EXPECT_TRUE(ShellKnows(owner, 7));
    ASSERT_NE(TrayAdd(7, owner, alert), 0) << "replaces the icon";
    TrayRemove(7);
    EXPECT_FALSE(ShellKnows(owner, 7)) << "one icon was shown, and it is gone";
    EXPECT_EQ(TrayChange(7, idle), 0) << "a removed icon is not in use";
    TrayRemove(7);  // harmless twice
}

TEST_F(TrayTest, AutomaticNumbersAreTheShellsIdentifiersAndFreeAllRemovesEveryIcon) {
    const auto chosen = static_cast<int32_t>(TrayAdd(AutoNumber, owner, idle));
    ASSERT_GE(chosen, AutoNumberBase);
    EXPECT_TRUE(ShellKnows(owner, chosen));
    EXPECT_EQ(TrayChange(chosen, alert), 1);
    ASSERT_NE(TrayAdd(30, owner, alert), 0);  // beyond the first 16 slots
    TrayFreeAll();
    EXPECT_FALSE(ShellKnows(owner, chosen));
    EXPECT_FALSE(ShellKnows(owner, 30));
}

// The shell keeps its own copy of every icon: the image behind it may go right away, as it does
// when the program decodes its icon number again. Bitmaps are converted, and stay the caller's.
TEST_F(TrayTest, IconOutlivesTheImageItCameFrom) {
    ASSERT_NE(TrayAdd(7, owner, idle), 0);
    intptr_t fresh = ImageFromMemory(8, IconNew, IconNewSize);  // destroys `idle`
    ASSERT_NE(fresh, 0);
    EXPECT_EQ(TrayChange(7, fresh), 1);
    ImageFree(8);
    EXPECT_TRUE(ShellKnows(owner, 7));

    Bytes bmp = MakeBmp(16, 16, 32, {}, [](int32_t x, int32_t) { return x < 8 ? 0xFFFF0000u : 0u; });
    intptr_t bitmap = ImageFromMemory(10, bmp.data(), bmp.size());
    ASSERT_NE(bitmap, 0);
    EXPECT_EQ(TrayChange(7, bitmap), 1);
    EXPECT_EQ(TrayChange(7, bitmap), 1) << "a fresh conversion replaces the last";
    EXPECT_EQ(TrayChange(7, alert), 1);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(bitmap)), static_cast<DWORD>(OBJ_BITMAP));
}

// Mask bit at (x, y): true where the icon shows the colour bitmap (black), false where it is
// see-through (white).
std::vector<bool> MaskOpaque(HBITMAP mask, int width, int height) {
    std::vector<bool> opaque;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, mask);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) opaque.push_back(GetPixel(dc, x, y) == RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    return opaque;
}

TEST(TrayMakeMask, ShapesByAlphaOnlyWhereTheDesktopCannot) {
    // 4 x 2, bottom-up file: the top row (file row 1) is opaque on its left half only.
    auto shaped = [](int32_t x, int32_t r) { return r == 1 && x < 2 ? 0xFF00FF00u : 0x0000FF00u; };
    Bytes withAlpha = MakeBmp(4, 2, 32, {}, shaped);
    Bytes noAlpha = MakeBmp(4, 2, 32, {}, [](int32_t, int32_t) { return 0x0000FF00u; });
    Bytes rgb = MakeBmp(4, 2, 24, {}, [](int32_t, int32_t) { return 0x0000FF00u; });
    // The same shaped pixels in a device-dependent bitmap, whose bits are read by copying.
    const uint32_t ddbBits[8] = {0xFF00FF00, 0xFF00FF00, 0, 0, 0, 0, 0, 0};
    HBITMAP ddb = CreateBitmap(4, 2, 1, 32, ddbBits);
    ASSERT_NE(ddb, nullptr);
    const std::vector<bool> left = {true, true, false, false, false, false, false, false};
    const std::vector<bool> all(8, true);

    struct Case { const char* what; const Bytes* file; HBITMAP bitmap; bool alphaDrawn; std::vector<bool> want; };
    const Case cases[] = {
        {"alpha, desktop without alpha", &withAlpha, nullptr, false, left},
        {"alpha, desktop draws alpha", &withAlpha, nullptr, true, all},
        {"alpha all zero", &noAlpha, nullptr, false, all},
        {"24-bit", &rgb, nullptr, false, all},
        {"device-dependent 32-bit", nullptr, ddb, false, left},
    };
    for (const Case& c : cases) {
        HBITMAP bitmap = c.bitmap;
        if (c.file) bitmap = reinterpret_cast<HBITMAP>(ImageFromMemory(11, c.file->data(), c.file->size()));
        ASSERT_NE(bitmap, nullptr) << c.what;
        HBITMAP mask = TrayMakeMask(bitmap, c.alphaDrawn);
        ASSERT_NE(mask, nullptr) << c.what;
        BITMAP info{};
        GetObjectA(mask, sizeof info, &info);
        EXPECT_EQ(info.bmBitsPixel, 1) << c.what;
        EXPECT_EQ(MaskOpaque(mask, 4, 2), c.want) << c.what;
        DeleteObject(mask);
    }
    ImageFree(11);
    DeleteObject(ddb);
}

}  // namespace
