#include "toolkit/media/Image.h"

#include <windows.h>

#include <cstring>
#include <type_traits>

#include "toolkit/media/BmpParse.h"
#include "toolkit/media/IcoParse.h"
#include "toolkit/system/ObjectTable.h"

namespace {

struct ImageRecord {
    HANDLE handle;  // bitmap or icon; 0 marks a free slot. The record owns it.
};
static_assert(std::is_trivially_copyable<ImageRecord>::value,
              "slots are zero-filled and move when the table grows");

constexpr int32_t ImageTableStep = 16;
constexpr DWORD IconFormatVersion = 0x00030000;  // the only version CreateIconFromResource knows

ObjectTable* imageTable;

// Files written without an alpha channel leave it zero, which a 32-bit bitmap would show as
// fully transparent: such pixels are made opaque. Any non-zero alpha means the file meant it.
void RepairAlpha(HBITMAP bitmap, const BmpLayout& layout) {
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) != sizeof info || !info.bmBits)
        return;
    GdiFlush();  // SetDIBits may still be queued; the pixel memory must be current
    uint8_t* pixels = static_cast<uint8_t*>(info.bmBits);
    const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
    if (!PixelsHaveAlpha(pixels, layout.width, rows, info.bmWidthBytes))
        PixelsMakeOpaque(pixels, layout.width, rows, info.bmWidthBytes);
}

HBITMAP DecodeBmp(const uint8_t* data, size_t size) {
    BmpLayout layout{};
    if (!BmpInspect(data, size, &layout))
        return nullptr;
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!screen)
        return nullptr;
    BITMAPINFO target{};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = layout.width;
    target.bmiHeader.biHeight = layout.height;  // negative keeps top-down rows top-down
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = layout.targetBits;
    target.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(screen);
    if (!bitmap)
        return nullptr;

    // The system converts depth and palette and expands run lengths; the walk above has made
    // sure that everything it reads lies inside the data.
    if (HDC memory = CreateCompatibleDC(nullptr)) {
        const UINT lines = static_cast<UINT>(layout.height < 0 ? -layout.height : layout.height);
        SetDIBits(memory, bitmap, 0, lines, data + layout.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(data + layout.infoOffset), DIB_RGB_COLORS);
        DeleteDC(memory);
    }
    if (layout.targetBits == 32)
        RepairAlpha(bitmap, layout);
    return bitmap;
}

HICON CreateIconFromCopy(const uint8_t* image, const IcoImage& chosen) {
    // The system wants the image in a block of its own, and keeps nothing of it afterwards.
    HGLOBAL copy = GlobalAlloc(GMEM_FIXED, chosen.size);
    if (!copy)
        return nullptr;
    PBYTE bytes = static_cast<PBYTE>(copy);  // a fixed block's handle is its address
    std::memcpy(bytes, image, chosen.size);
    const DWORD size = static_cast<DWORD>(chosen.size);
    HICON icon = CreateIconFromResourceEx(bytes, size, TRUE, IconFormatVersion, chosen.width,
                                          chosen.height, LR_DEFAULTCOLOR);
    // Older systems refuse some images at an explicit size but take them at the default one;
    // 16-bit images fail both ways, so they are not tried twice.
    if (!icon && chosen.bitCount != 16)
        icon = CreateIconFromResource(bytes, size, TRUE, IconFormatVersion);
    GlobalFree(copy);
    return icon;
}

HICON DecodeIco(const uint8_t* data, size_t size) {
    IcoImage chosen{};
    if (!IcoChooseImage(data, size, &chosen))
        return nullptr;
    return CreateIconFromCopy(data + chosen.offset, chosen);
}

void DestroyImage(HANDLE handle) {
    if (GetObjectType(handle) == OBJ_BITMAP)
        DeleteObject(handle);
    else
        DestroyIcon(static_cast<HICON>(handle));
}

}  // namespace

void ImageInit() {
    if (!imageTable)
        imageTable = ObjectTableCreate(sizeof(ImageRecord), ImageTableStep, ImageFree);
}

intptr_t ImageFromMemory(int32_t number, const void* data, size_t size) {
    int32_t chosen = 0;
    // Claiming frees the image already under the number, so a failed decode leaves it free.
    auto* record = static_cast<ImageRecord*>(ObjectTableClaim(imageTable, number, &chosen));
    if (!record)
        return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    HANDLE handle = nullptr;
    if (BmpIsBitmap(bytes, size))
        handle = DecodeBmp(bytes, size);
    else if (IcoIsIcon(bytes, size))
        handle = DecodeIco(bytes, size);
    if (!handle) {
        ObjectTableRemove(imageTable, chosen);  // an automatic number must not linger
        return 0;
    }
    record->handle = handle;
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(handle);
}

void ImageFree(int32_t number) {
    if (number == AutoNumber)
        return;
    auto* record = static_cast<ImageRecord*>(ObjectTableGet(imageTable, number));
    if (!record)
        return;
    DestroyImage(record->handle);
    ObjectTableRemove(imageTable, number);
}

void ImageFreeAll() { ObjectTableReleaseAll(imageTable); }
