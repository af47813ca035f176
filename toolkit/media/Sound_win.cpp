#include "toolkit/media/Sound.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstring>
#include <type_traits>

#include "toolkit/media/RiffParse.h"
#include "toolkit/system/ObjectTable.h"

namespace {

struct SoundRecord {
    IDirectSoundBuffer* buffer;  // 0 marks a free slot; the record holds one reference
};
static_assert(std::is_trivially_copyable<SoundRecord>::value,
              "slots are zero-filled and move when the table grows");

#ifndef _WIN64
static_assert(sizeof(DSBUFFERDESC) == 36, "the descriptor every DirectSound version takes");
#endif

constexpr int32_t SoundTableStep = 64;
constexpr char SoundWindowClass[] = "MultimediaBase Class";
// One static buffer per sound, filled once; position, volume, pan and frequency stay available,
// and the sound keeps playing when another program has the focus.
constexpr DWORD StaticBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                    DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                                    DSBCAPS_GETCURRENTPOSITION2;
static_assert(StaticBufferFlags == 0x180E2, "static, controllable, global-focus buffer");
constexpr size_t WaveFormatExBytes = 18;

using DirectSoundCreateProc = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

ObjectTable* soundTable;
HMODULE dsoundLibrary;
IDirectSound* device;
IDirectSoundBuffer* primaryBuffer;
HWND soundWindow;

LRESULT CALLBACK SoundWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 1;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_CLOSE:  // the window lives as long as the process; nobody may close it
    case WM_ACTIVATE:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// DirectSound binds its cooperative level to a window; this hidden one is never shown.
bool CreateSoundWindow() {
    static ATOM windowClass;
    if (soundWindow)
        return true;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!windowClass) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = SoundWindowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = SoundWindowClass;
        windowClass = RegisterClassExA(&wc);
        if (!windowClass)
            return false;
    }
    soundWindow = CreateWindowExA(0, SoundWindowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  instance, nullptr);
    return soundWindow != nullptr;
}

// The device and its primary buffer run code of the library (a mixing thread among it), so
// they go before the library does.
void CloseDevice() {
    if (primaryBuffer)
        primaryBuffer->Release();
    if (device)
        device->Release();
    primaryBuffer = nullptr;
    device = nullptr;
}

// A device that refuses its cooperative level or its primary buffer is let go: kept half made,
// it would let a later SoundInit report output ready.
bool OpenDevice() {
    if (!dsoundLibrary)
        dsoundLibrary = LoadLibraryA("DSOUND.DLL");
    if (!dsoundLibrary)
        return false;
    auto create = reinterpret_cast<DirectSoundCreateProc>(
        reinterpret_cast<void*>(GetProcAddress(dsoundLibrary, "DirectSoundCreate")));
    IDirectSound* opened = nullptr;
    if (!create || create(nullptr, &opened, nullptr) != DS_OK || !opened)
        return false;
    device = opened;
    // The primary buffer is never written; holding it keeps the device's output format as the
    // device chose it for as long as we play.
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (SUCCEEDED(device->SetCooperativeLevel(soundWindow, DSSCL_PRIORITY)) &&
        SUCCEEDED(device->CreateSoundBuffer(&desc, &primaryBuffer, nullptr)))
        return true;
    CloseDevice();
    return false;
}

// A format block shorter than WAVEFORMATEX ends before cbSize, which the device reads anyway:
// such a block is handed over in a zero-padded copy.
struct FormatBlock {
    WAVEFORMATEX padded;
    const WAVEFORMATEX* format;
};
void PrepareFormat(const uint8_t* data, const WaveLayout& layout, FormatBlock* block) {
    if (layout.formatSize >= WaveFormatExBytes) {
        block->format = reinterpret_cast<const WAVEFORMATEX*>(data + layout.formatOffset);
        return;
    }
    std::memset(&block->padded, 0, sizeof block->padded);
    std::memcpy(&block->padded, data + layout.formatOffset, layout.formatSize);
    block->format = &block->padded;
}

// A buffer holding every sample, or null. Nothing of the caller's memory is kept.
IDirectSoundBuffer* CreateFilledBuffer(const uint8_t* data, const WaveLayout& layout, void** part,
                                       DWORD* partSize) {
    FormatBlock block{};
    PrepareFormat(data, layout, &block);
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = StaticBufferFlags;
    desc.dwBufferBytes = static_cast<DWORD>(layout.dataSize);
    desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(block.format);
    IDirectSoundBuffer* buffer = nullptr;
    if (device->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK || !buffer)
        return nullptr;
    if (FAILED(buffer->Lock(0, desc.dwBufferBytes, part, partSize, nullptr, nullptr, 0))) {
        buffer->Release();
        return nullptr;
    }
    const DWORD copied = *partSize < desc.dwBufferBytes ? *partSize : desc.dwBufferBytes;
    std::memcpy(*part, data + layout.dataOffset, copied);
    return buffer;
}

}  // namespace

int32_t SoundInit() {
    if (!soundTable)
        soundTable = ObjectTableCreate(sizeof(SoundRecord), SoundTableStep, SoundFree);
    if (!soundTable || !CreateSoundWindow())
        return 0;
    if (device)
        return 1;
    return OpenDevice() ? 1 : 0;
}

intptr_t SoundFromMemory(int32_t number, const void* data, size_t size) {
    WaveLayout layout{};
    if (!device || !RiffFindWave(data, size, &layout))
        return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    void* part = nullptr;
    DWORD partSize = 0;
    IDirectSoundBuffer* buffer = CreateFilledBuffer(bytes, layout, &part, &partSize);
    if (!buffer)
        return 0;
    // Only a complete new sound replaces the old one, which stays playable through any failure
    // above.
    int32_t chosen = 0;
    auto* record = static_cast<SoundRecord*>(ObjectTableClaim(soundTable, number, &chosen));
    buffer->Unlock(part, partSize, nullptr, 0);
    if (!record) {
        buffer->Release();
        return 0;
    }
    record->buffer = buffer;
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(buffer);
}

int32_t SoundPlay(int32_t number) {
    auto* record = static_cast<SoundRecord*>(ObjectTableGet(soundTable, number));
    if (!record)
        return 0;
    // A sound still playing starts over rather than overlapping itself.
    record->buffer->Stop();
    record->buffer->SetCurrentPosition(0);
    return record->buffer->Play(0, 0, 0) == DS_OK ? 1 : 0;
}

void SoundFree(int32_t number) {
    auto* record = static_cast<SoundRecord*>(ObjectTableGet(soundTable, number));
    if (!record)
        return;
    record->buffer->Release();
    ObjectTableRemove(soundTable, number);
}

void SoundFreeAll() {
    ObjectTableReleaseAll(soundTable);
    CloseDevice();
    if (dsoundLibrary)
        FreeLibrary(dsoundLibrary);
    dsoundLibrary = nullptr;
}
