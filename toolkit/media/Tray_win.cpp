#include "toolkit/media/Tray.h"

#include "toolkit/media/TrayMask.h"

#include <shellapi.h>

#include <atomic>
#include <cstddef>
#include <type_traits>

#include "toolkit/system/CritSecLock.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/window/Win.h"

namespace {

struct TrayRecord {
    HWND owner;  // 0 marks a free slot
    HICON icon;  // our own copy of the current image, or 0; owned by the record
    bool shown;  // false while the shell has not taken the icon: added again by a retry
};
static_assert(std::is_trivially_copyable<TrayRecord>::value,
              "slots are zero-filled and move when the table grows");

// NOTIFYICONDATAA as the first shell versions defined it: every shell since accepts it, and we
// use nothing the later fields add (no tooltip, balloon or version).
struct TrayIconData {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};
static_assert(sizeof(TrayIconData) == NOTIFYICONDATAA_V1_SIZE,
              "88 bytes on 32-bit Windows, 104 on 64-bit, as the shell expects");
static_assert(offsetof(TrayIconData, hIcon) == offsetof(NOTIFYICONDATAA, hIcon) &&
                  offsetof(TrayIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip),
              "same layout as the head of the system's structure");
#ifndef _WIN64
static_assert(sizeof(TrayIconData) == 88, "the shell's original size");
static_assert(sizeof(OSVERSIONINFOA) == 148, "the size the version query expects");
#endif

constexpr int32_t TrayTableStep = 16;
constexpr BYTE TransparentAlpha = 0;
constexpr COLORREF MaskTransparent = RGB(255, 255, 255);
constexpr COLORREF MaskOpaque = RGB(0, 0, 0);

ObjectTable* trayTable;
// Poll workers change the image while the main thread adds icons again, which reads it.
CRITICAL_SECTION trayLock;
// Icons the shell has refused so far: read without the lock, so a retry with none costs nothing.
std::atomic<int32_t> unshownCount;

// True when the desktop draws 32-bit icons by their alpha channel; otherwise a bitmap's alpha
// is turned into the icon's mask. Written once at start-up, before any icon exists.
bool alphaIconsSupported = true;

TrayIconData NewIconData(HWND owner, int32_t number) {
    TrayIconData data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = static_cast<UINT>(number);
    return data;
}

// The 32-bit pixels of a bitmap, or null when it has no pixel memory of its own: every bitmap
// the image toolkit makes is a DIB section, which has.
const uint32_t* ReadPixels(HBITMAP bitmap, const BITMAP& info, LONG* stride, bool* bottomUp) {
    DIBSECTION section{};
    if (!info.bmBits || GetObjectA(bitmap, sizeof section, &section) != sizeof section)
        return nullptr;
    GdiFlush();
    *stride = section.dsBm.bmWidthBytes / 4;
    *bottomUp = section.dsBmih.biHeight > 0;
    return static_cast<const uint32_t*>(info.bmBits);
}

// Paints the mask from the alpha channel; false when every pixel's alpha is zero (the bitmap has
// no alpha channel at all) or the pixels could not be read.
bool MaskFromAlpha(HDC maskDc, HBITMAP bitmap, const BITMAP& info) {
    bool bottomUp = false;
    LONG stride = 0;
    const uint32_t* pixels = ReadPixels(bitmap, info, &stride, &bottomUp);
    if (!pixels)
        return false;
    bool anyAlpha = false;
    for (LONG y = 0; y < info.bmHeight; ++y) {
        const uint32_t* row =
            pixels + static_cast<size_t>(bottomUp ? info.bmHeight - 1 - y : y) * stride;
        for (LONG x = 0; x < info.bmWidth; ++x) {
            const BYTE alpha = static_cast<BYTE>(row[x] >> 24);
            anyAlpha = anyAlpha || alpha != TransparentAlpha;
            SetPixel(maskDc, x, y, alpha == TransparentAlpha ? MaskTransparent : MaskOpaque);
        }
    }
    return anyAlpha;
}

}  // namespace

// Opaque everywhere unless the alpha channel must do the shaping through the mask: on an
// alpha-capable desktop the alpha channel shapes the icon itself, and a bitmap whose alpha is
// all zero has no channel to shape by.
HBITMAP TrayMakeMask(HBITMAP bitmap, bool alphaDrawn) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HBITMAP mask = CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr);
    if (!mask)
        return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return mask;
    HGDIOBJ previous = SelectObject(dc, mask);
    const bool shaped = !alphaDrawn && info.bmBitsPixel == 32 && MaskFromAlpha(dc, bitmap, info);
    if (!shaped) {
        RECT all{0, 0, info.bmWidth, info.bmHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return mask;
}

namespace {

// Our own icon for an image. The image's handle may be destroyed right after the call (the
// watcher decodes image 8 anew), while an add after a refusal or a taskbar restart needs it.
HICON OwnIcon(intptr_t image) {
    HANDLE handle = reinterpret_cast<HANDLE>(image);
    if (GetObjectType(handle) != OBJ_BITMAP)
        return CopyIcon(static_cast<HICON>(handle));
    HBITMAP mask = TrayMakeMask(static_cast<HBITMAP>(handle), alphaIconsSupported);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = static_cast<HBITMAP>(handle);
    HICON icon = CreateIconIndirect(&info);
    if (mask)
        DeleteObject(mask);
    return icon;
}

// The shell copies every icon it is given, so the previous one can go without touching what
// is on display.
void SetIcon(TrayRecord* record, intptr_t image) {
    HICON icon = OwnIcon(image);
    if (record->icon)
        DestroyIcon(record->icon);
    record->icon = icon;
}

void MarkShown(TrayRecord* record, bool shown) {
    if (record->shown != shown)
        unshownCount += shown ? -1 : 1;
    record->shown = shown;
}

// Common controls version as (major << 16) | minor, or 1 when it cannot be asked.
DWORD CommonControlsVersion() {
    struct VersionInfo {  // DLLVERSIONINFO
        DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
    };
    using GetVersionProc = HRESULT(CALLBACK*)(VersionInfo*);
    DWORD version = 1;
    HMODULE library = LoadLibraryA("COMCTL32.DLL");
    if (!library)
        return version;
    auto get = reinterpret_cast<GetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")));
    VersionInfo info{};
    info.cbSize = sizeof info;
    if (get && get(&info) >= 0)
        version = ((info.dwMajorVersion & 0xFFFF) << 16) | (info.dwMinorVersion & 0xFFFF);
    FreeLibrary(library);
    return version;
}

// Alpha icons are drawn by the desktop only when visual styles are on and the version 6
// controls are in use.
bool ThemedWithVersion6Controls() {
    constexpr DWORD Version6 = 0x60000;
    const DWORD version = CommonControlsVersion();
    HMODULE library = LoadLibraryA("uxtheme.dll");
    if (!library)
        return false;
    using IsAppThemedProc = BOOL(WINAPI*)();
    auto themed = reinterpret_cast<IsAppThemedProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "IsAppThemed")));
    const bool result = themed && themed() && version >= Version6;
    FreeLibrary(library);
    return result;
}

// Systems before XP (NT 5.1) cannot draw alpha icons at all.
bool SystemTooOldForAlpha() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return false;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return true;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (version.dwMajorVersion < 5 ||
            (version.dwMajorVersion == 5 && version.dwMinorVersion == 0));
}

bool Notify(DWORD message, TrayIconData* data) {
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(data)) != FALSE;
}

// A refused add may mean the shell holds the icon already (a taskbar that kept its icons, or an
// earlier add whose answer came too late): a modify then finds it.
bool ShowIcon(int32_t number, TrayRecord* record) {
    TrayIconData data = NewIconData(record->owner, number);
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = TrayCallbackMsg;
    data.hIcon = record->icon;
    MarkShown(record, Notify(NIM_ADD, &data) || Notify(NIM_MODIFY, &data));
    return record->shown;
}

void ShowEvery(bool onlyRefused) {
    CritSecLock lock(&trayLock);
    int32_t number = 0;
    ObjectTableFirst(trayTable);
    while (auto* record = static_cast<TrayRecord*>(ObjectTableNext(trayTable, &number)))
        if (!onlyRefused || !record->shown)
            ShowIcon(number, record);
}

}  // namespace

void TrayInit() {
    if (trayTable)
        return;
    InitializeCriticalSection(&trayLock);
    trayTable = ObjectTableCreate(sizeof(TrayRecord), TrayTableStep, TrayRemove);
}

void ImageProbeAlpha() {
    alphaIconsSupported = !SystemTooOldForAlpha() && ThemedWithVersion6Controls();
}

bool TrayAlphaIconsSupported() { return alphaIconsSupported; }

// An icon the shell refuses (no taskbar yet at sign-in, say) is kept with its image and shown
// by a later retry. Under an automatic number it is not kept: the caller, told 0, could never
// name it again.
intptr_t TrayAdd(int32_t number, HWND window, intptr_t image) {
    if (!image || !window || !trayTable)
        return 0;
    CritSecLock lock(&trayLock);
    int32_t chosen = 0;
    auto* record = static_cast<TrayRecord*>(ObjectTableClaim(trayTable, number, &chosen));
    if (!record)
        return 0;
    record->owner = window;
    record->shown = true;  // counted among the refused ones only once refused
    SetIcon(record, image);
    if (ShowIcon(chosen, record))
        return number == AutoNumber ? chosen : 1;
    if (number == AutoNumber)
        TrayRemove(chosen);
    return 0;
}

// An icon the shell does not show takes the image for its next add; a refused modify means
// the shell has lost the icon, which the next retry adds again.
int32_t TrayChange(int32_t number, intptr_t image) {
    if (!image || !trayTable)
        return 0;
    CritSecLock lock(&trayLock);
    auto* record = static_cast<TrayRecord*>(ObjectTableGet(trayTable, number));
    if (!record)
        return 0;
    SetIcon(record, image);
    if (!record->shown)
        return 0;
    TrayIconData data = NewIconData(record->owner, number);
    data.uFlags = NIF_ICON;
    data.hIcon = record->icon;
    if (Notify(NIM_MODIFY, &data))
        return 1;
    MarkShown(record, false);
    return 0;
}

void TrayRemove(int32_t number) {
    if (!trayTable)
        return;
    CritSecLock lock(&trayLock);
    auto* record = static_cast<TrayRecord*>(ObjectTableGet(trayTable, number));
    if (!record)
        return;
    TrayIconData data = NewIconData(record->owner, number);
    Notify(NIM_DELETE, &data);
    MarkShown(record, true);  // no longer waiting for a retry
    if (record->icon)
        DestroyIcon(record->icon);
    ObjectTableRemove(trayTable, number);
}

void TrayAddAgain() {
    if (trayTable)
        ShowEvery(false);
}

void TrayRetryFailed() {
    if (trayTable && unshownCount.load() > 0)
        ShowEvery(true);
}

void TrayFreeAll() {
    if (!trayTable)
        return;
    CritSecLock lock(&trayLock);
    ObjectTableReleaseAll(trayTable);
}
