// Decoding under Wine: the system's own bitmap and icon objects, read back pixel by pixel.
#include "toolkit/media/Image.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"

namespace {

class ImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ImageInit();
    }
    void TearDown() override { ImageFreeAll(); }
};

// Pixels of a bitmap as 32-bit BGRA values, top row first.
std::vector<uint32_t> ReadPixels(HBITMAP bitmap, int* width, int* height) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    *width = info.bmWidth;
    *height = info.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(lines, info.bmHeight);
    return pixels;
}

struct IconBitmaps {
    BITMAP colour;
    std::vector<uint32_t> pixels;
};

bool ReadIcon(intptr_t handle, IconBitmaps* out) {
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(handle), &info)) return false;
    GetObjectA(info.hbmColor, sizeof out->colour, &out->colour);
    int w = 0, h = 0;
    out->pixels = ReadPixels(info.hbmColor, &w, &h);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

int Channel(uint32_t bgra, int k) { return (bgra >> (8 * k)) & 0xFF; }

TEST_F(ImageTest, EmbeddedIconsBecomeSixteenPixelIconsInTheirColours) {
    struct Case { const char* name; const unsigned char* data; size_t size; int strong; };
    const Case cases[] = {{"IconIdle", IconIdle, IconIdleSize, 2}, {"IconNew", IconNew, IconNewSize, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        intptr_t icon = ImageFromMemory(8, c.data, c.size);
        ASSERT_NE(icon, 0);
        EXPECT_NE(GetObjectType(reinterpret_cast<HANDLE>(icon)), static_cast<DWORD>(OBJ_BITMAP));
        IconBitmaps read;
        ASSERT_TRUE(ReadIcon(icon, &read));
        EXPECT_EQ(read.colour.bmWidth, 16);
        EXPECT_EQ(read.colour.bmHeight, 16);
        EXPECT_EQ(read.colour.bmBitsPixel, 32);
        const uint32_t centre = read.pixels[8 * 16 + 8];
        const uint32_t corner = read.pixels[0];
        EXPECT_EQ(Channel(centre, 3), 255);
        EXPECT_EQ(Channel(corner, 3), 0);
        for (int k = 0; k < 3; ++k) {
            if (k != c.strong) {
                EXPECT_GT(Channel(centre, c.strong), 2 * Channel(centre, k));
            }
        }
    }
}

Bytes Bmp32(uint32_t alpha, int32_t height = 2) {
    return MakeBmp(3, height, 32, {}, [alpha](int32_t x, int32_t r) {
        return (alpha << 24) | (static_cast<uint32_t>(r) << 16) | static_cast<uint32_t>(x * 40);
    });
}

// File rows are stored bottom-up unless the height is negative; `row` counts in file order.
TEST_F(ImageTest, BitmapsKeepTheirPixelsAndGainDepthOrOpacityAsNeeded) {
    struct Case {
        const char* what;
        Bytes file;
        int bits;                  // of the bitmap made
        uint32_t topLeft, bottomRight;  // BGRA read back
    };
    const std::vector<uint32_t> palette = {0x000000FF, 0x0000FF00, 0x00FF0000};
    auto paletteIndex = [](int32_t x, int32_t r) { return static_cast<uint32_t>((x + r) % 3); };
    auto rgb24 = [](int32_t x, int32_t r) { return 0x102030u + static_cast<uint32_t>(x) + (static_cast<uint32_t>(r) << 16); };
    const Case cases[] = {
        // 3 x 2, bottom row first: top-left is (x 0, file row 1), bottom-right is (x 2, file row 0).
        {"8-bit palette", MakeBmp(3, 2, 8, palette, paletteIndex), 24, 0x0000FF00, 0x00FF0000},
        {"24-bit", MakeBmp(3, 2, 24, {}, rgb24), 24, 0x00112030, 0x00102032},
        {"32-bit without alpha", Bmp32(0), 32, 0xFF010000, 0xFF000050},
        {"32-bit with alpha", Bmp32(0x80), 32, 0x80010000, 0x80000050},
        {"32-bit top-down", Bmp32(0x80, -2), 32, 0x80000000, 0x80010050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        intptr_t handle = ImageFromMemory(3, c.file.data(), c.file.size());
        ASSERT_NE(handle, 0);
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(handle);
        ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), static_cast<int>(sizeof section))
            << "a DIB section";
        EXPECT_EQ(section.dsBm.bmBitsPixel, c.bits);
        int w = 0, h = 0;
        std::vector<uint32_t> pixels = ReadPixels(bitmap, &w, &h);
        ASSERT_EQ(w, 3);
        ASSERT_EQ(h, 2);
        // GetDIBits leaves the alpha byte alone only for 32-bit sources; compare colour only
        // for the others.
        const uint32_t mask = c.bits == 32 ? 0xFFFFFFFF : 0x00FFFFFF;
        EXPECT_EQ(pixels[0] & mask, c.topLeft) << std::hex << pixels[0];
        EXPECT_EQ(pixels[5] & mask, c.bottomRight) << std::hex << pixels[5];
    }
}

IconEntry Entry32(uint8_t size) {
    return {size, size, 32, MakeIconImage(size, 32, [](int32_t, int32_t) { return 0xFF00FF00u; })};
}
IconEntry Entry8(uint8_t size) {
    return {size, size, 8, MakeIconImage(size, 8, [](int32_t, int32_t) { return 0u; })};
}

TEST_F(ImageTest, IconFilesYieldTheDeepestImageOfTheFirstSize) {
    struct Case { const char* what; Bytes file; int size; int bits; };
    const Case cases[] = {
        {"8-bit first, 32-bit later", MakeIco({Entry8(16), Entry32(16)}), 16, 32},
        {"16 first, 32 x 32 later", MakeIco({Entry8(16), Entry32(32)}), 16, 8},
        {"a lone 32 x 32", MakeIco({Entry32(32)}), 32, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        intptr_t icon = ImageFromMemory(4, c.file.data(), c.file.size());
        ASSERT_NE(icon, 0);
        IconBitmaps read;
        ASSERT_TRUE(ReadIcon(icon, &read));
        EXPECT_EQ(read.colour.bmWidth, c.size) << "made at its own size, not scaled";
        EXPECT_EQ(read.colour.bmHeight, c.size);
        // Wine and Windows make 8-bit icons' colour bitmaps at the screen's depth; what tells
        // the entries apart is the green of the 32-bit image against the 8-bit palette's.
        const uint32_t centre = read.pixels[(c.size / 2) * c.size + c.size / 2];
        EXPECT_EQ(centre & 0xFFFFFF, 0x00FF00u) << std::hex << centre;
        if (c.bits == 32) {
            EXPECT_EQ(read.colour.bmBitsPixel, 32);
        }
    }
}

TEST_F(ImageTest, DecodingAgainReplacesTheOldHandle) {
    intptr_t first = ImageFromMemory(8, IconIdle, IconIdleSize);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(first), &info));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    intptr_t second = ImageFromMemory(8, IconIdle, IconIdleSize);
    ASSERT_NE(second, 0);
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(first), &info)) << "the first icon is gone";

    Bytes bmp = Bmp32(0);
    intptr_t bitmap = ImageFromMemory(8, bmp.data(), bmp.size());
    ASSERT_NE(bitmap, 0);
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(second), &info));
    // A failed decode under the number frees what was there and leaves the number free.
    Bytes cursor = MakeIco({Entry32(16)}, 2);
    EXPECT_EQ(ImageFromMemory(8, cursor.data(), cursor.size()), 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(bitmap)), 0u);
    ImageFree(8);  // nothing left to free: must be harmless
}

TEST_F(ImageTest, AutomaticNumbersAreChosenAndFreed) {
    intptr_t number = ImageFromMemory(AutoNumber, IconNew, IconNewSize);
    ASSERT_GE(number, AutoNumberBase);
    Bytes bmp = Bmp32(0);
    intptr_t other = ImageFromMemory(AutoNumber, bmp.data(), bmp.size());
    ASSERT_GE(other, AutoNumberBase);
    EXPECT_NE(number, other);
    ImageFree(static_cast<int32_t>(number));
    ImageFree(static_cast<int32_t>(number));
    ImageFree(AutoNumber);
    EXPECT_EQ(ImageFromMemory(AutoNumber, nullptr, 10), 0);
}

TEST_F(ImageTest, FreeAllDestroysEveryImage) {
    Bytes bmp = Bmp32(0);
    intptr_t bitmap = ImageFromMemory(1, bmp.data(), bmp.size());
    intptr_t icon = ImageFromMemory(40, IconIdle, IconIdleSize);  // beyond the first 16 slots
    ASSERT_NE(bitmap, 0);
    ASSERT_NE(icon, 0);
    ImageFreeAll();
    EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(bitmap)), 0u);
    ICONINFO info{};
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(icon), &info));
}

// The header walks are tested natively against every kind of lie; here only that their
// verdict reaches the caller and nothing is made.
TEST_F(ImageTest, RejectsDataThatIsNoImageOrLies) {
    Bytes offsetOut(IconIdle, IconIdle + IconIdleSize);
    Put32(offsetOut, 18, 2000);
    Bytes bmpShort = Bmp32(0);
    EXPECT_EQ(ImageFromMemory(5, "hello", 5), 0);
    EXPECT_EQ(ImageFromMemory(5, offsetOut.data(), offsetOut.size()), 0);
    EXPECT_EQ(ImageFromMemory(5, IconIdle, IconIdleSize - 1), 0);
    EXPECT_EQ(ImageFromMemory(5, bmpShort.data(), bmpShort.size() - 4), 0);
    EXPECT_EQ(ImageFromMemory(5, nullptr, 100), 0);
}

}  // namespace
