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
std::vector<uint32_t> ReadPixels(HBITMAP bitmap, BITMAP* info) {
    GetObjectA(bitmap, sizeof *info, info);
    std::vector<uint32_t> pixels(static_cast<size_t>(info->bmWidth) * info->bmHeight);
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info->bmWidth;
    request.bmiHeader.biHeight = -info->bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, info->bmHeight, pixels.data(), &request, DIB_RGB_COLORS),
              info->bmHeight);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The pixels of an icon's colour bitmap; empty when the handle is no icon.
std::vector<uint32_t> ReadIcon(intptr_t handle, BITMAP* colour) {
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(handle), &info)) return {};
    std::vector<uint32_t> pixels = ReadPixels(info.hbmColor, colour);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return pixels;
}

bool IsIcon(intptr_t handle) {
    BITMAP colour{};
    return !ReadIcon(handle, &colour).empty();
}

int Channel(uint32_t bgra, int k) { return (bgra >> (8 * k)) & 0xFF; }

// The icons' own colours are checked natively, byte by byte; here that the system keeps their
// size, depth and alpha.
TEST_F(ImageTest, EmbeddedIconBecomesASixteenPixelIconWithItsAlpha) {
    BITMAP colour{};
    const auto pixels = ReadIcon(ImageFromMemory(8, IconIdle, IconIdleSize), &colour);
    ASSERT_EQ(pixels.size(), 256u);
    EXPECT_EQ(colour.bmWidth, 16);
    EXPECT_EQ(colour.bmBitsPixel, 32);
    EXPECT_EQ(Channel(pixels[8 * 16 + 8], 3), 255) << "the centre is opaque";
    EXPECT_EQ(Channel(pixels[0], 3), 0) << "the corner is see-through";
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
        int bits;                       // of the bitmap made
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
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImageFromMemory(3, c.file.data(), c.file.size()));
        ASSERT_NE(bitmap, nullptr);
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), static_cast<int>(sizeof section))
            << "a DIB section";
        EXPECT_EQ(section.dsBm.bmBitsPixel, c.bits);
        BITMAP info{};
        const std::vector<uint32_t> pixels = ReadPixels(bitmap, &info);
        ASSERT_EQ(pixels.size(), 6u);
        // GetDIBits leaves the alpha byte alone only for 32-bit sources; compare colour only
        // for the others.
        const uint32_t mask = c.bits == 32 ? 0xFFFFFFFF : 0x00FFFFFF;
        EXPECT_EQ(pixels[0] & mask, c.topLeft) << std::hex << pixels[0];
        EXPECT_EQ(pixels[5] & mask, c.bottomRight) << std::hex << pixels[5];
    }
}

TEST_F(ImageTest, IconFilesYieldTheDeepestImageOfTheFirstSize) {
    struct Case { const char* what; Bytes file; int size; int bits; };
    const Case cases[] = {
        {"8-bit first, 32-bit later", MakeIco({Icon(16, 8), Icon(16, 32)}), 16, 32},
        {"a lone 32 x 32", MakeIco({Icon(32, 32)}), 32, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BITMAP colour{};
        const auto pixels = ReadIcon(ImageFromMemory(4, c.file.data(), c.file.size()), &colour);
        ASSERT_FALSE(pixels.empty());
        EXPECT_EQ(colour.bmWidth, c.size) << "made at its own size, not scaled";
        EXPECT_EQ(colour.bmHeight, c.size);
        // Wine and Windows make 8-bit icons' colour bitmaps at the screen's depth, so only the
        // 32-bit entry shows by its depth; both are green all over.
        const uint32_t centre = pixels[(c.size / 2) * c.size + c.size / 2];
        EXPECT_EQ(centre & 0xFFFFFF, 0x00FF00u) << std::hex << centre;
        if (c.bits == 32) {
            EXPECT_EQ(colour.bmBitsPixel, 32);
        }
    }
}

TEST_F(ImageTest, ANumberHoldsOneImageAndAFailedDecodeEmptiesIt) {
    const intptr_t first = ImageFromMemory(8, IconIdle, IconIdleSize);
    ASSERT_TRUE(IsIcon(first));
    const intptr_t second = ImageFromMemory(8, IconIdle, IconIdleSize);
    ASSERT_TRUE(IsIcon(second));
    EXPECT_FALSE(IsIcon(first)) << "the first icon is gone";

    const Bytes bmp = Bmp32(0);
    const intptr_t bitmap = ImageFromMemory(8, bmp.data(), bmp.size());
    ASSERT_NE(bitmap, 0);
    EXPECT_FALSE(IsIcon(second));
    const Bytes cursor = MakeIco({Icon(16, 32)}, 2);
    EXPECT_EQ(ImageFromMemory(8, cursor.data(), cursor.size()), 0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(bitmap)), 0u);
    ImageFree(8);  // nothing left to free: must be harmless
}

TEST_F(ImageTest, AutomaticNumbersAreChosenAndFreeAllDestroysEveryImage) {
    const intptr_t number = ImageFromMemory(AutoNumber, IconNew, IconNewSize);
    ASSERT_GE(number, AutoNumberBase);
    const Bytes bmp = Bmp32(0);
    const intptr_t other = ImageFromMemory(AutoNumber, bmp.data(), bmp.size());
    ASSERT_GE(other, AutoNumberBase);
    EXPECT_NE(number, other);
    ImageFree(static_cast<int32_t>(number));
    ImageFree(static_cast<int32_t>(number));
    ImageFree(AutoNumber);

    const intptr_t bitmap = ImageFromMemory(1, bmp.data(), bmp.size());
    const intptr_t icon = ImageFromMemory(40, IconIdle, IconIdleSize);  // beyond the first 16 slots
    ASSERT_NE(bitmap, 0);
    ASSERT_TRUE(IsIcon(icon));
    ImageFreeAll();
    EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(bitmap)), 0u);
    EXPECT_FALSE(IsIcon(icon));
}

// The header walks are tested natively against every kind of lie; here only that their
// verdict reaches the caller and nothing is made.
TEST_F(ImageTest, RejectsDataThatIsNoImageOrLies) {
    Bytes offsetOut(IconIdle, IconIdle + IconIdleSize);
    Put32(offsetOut, 18, 2000);
    const Bytes bmp = Bmp32(0);
    EXPECT_EQ(ImageFromMemory(5, "hello", 5), 0);
    EXPECT_EQ(ImageFromMemory(5, offsetOut.data(), offsetOut.size()), 0);
    EXPECT_EQ(ImageFromMemory(5, IconIdle, IconIdleSize - 1), 0);
    EXPECT_EQ(ImageFromMemory(5, bmp.data(), bmp.size() - 4), 0);
    EXPECT_EQ(ImageFromMemory(5, nullptr, 100), 0);
    EXPECT_EQ(ImageFromMemory(AutoNumber, nullptr, 10), 0);
}

}  // namespace
