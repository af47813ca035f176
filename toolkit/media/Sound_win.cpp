#include "toolkit/media/Sound.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <objbase.h>

#include <cstring>
#include <type_traits>

#include "toolkit/media/RiffParse.h"
#include "toolkit/system/CritSecLock.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"

namespace {

// A sound keeps its own copy of the file's format and samples, and a buffer only while the
// device is open: the device is opened for a chime and let go once it has played, since an
// open device keeps the system mixing (under Wine, most of an idle watcher's time), and one
// opened afresh for every chime finds a device that came or came back since the last one.
struct SoundRecord {
    uint8_t* wave;               // 0 marks a free slot: the format block, then the samples; owned
    IDirectSoundBuffer* buffer;  // on the open device, from the first play since it opened; or 0
    uint32_t formatBytes;        // at least a whole WAVEFORMATEX
    uint32_t sampleBytes;
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
constexpr uint32_t WaveFormatExBytes = sizeof(WAVEFORMATEX);
// Past a sound's own length, for the device's latency; and how often a device still sounding
// then is looked at again.
constexpr DWORD ReleaseMarginMs = 300;
constexpr DWORD QuietCheckMs = 250;
constexpr DWORD MsPerSecond = 1000;
// A chime asked for while the previous one has sounded for less than this (or its whole length,
// if shorter) waits until then, so that two alerts close together are heard as two.
constexpr DWORD HeardMs = 1500;
// Plays asked for and not yet carried out; more than this many in a row are refused.
constexpr int32_t PendingLimit = 16;

using DirectSoundCreateProc = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

ObjectTable* soundTable;
HMODULE dsoundLibrary;
DirectSoundCreateProc directSoundCreate;
HWND soundWindow;
// Opening a device takes up to a third of a second, so the sound thread alone opens, plays and
// lets go of it, and callers only leave it requests. The device and the primary buffer belong
// to that thread; the table, the sounds' buffers and the requests are used under the lock,
// which is never held while the device opens or closes.
CRITICAL_SECTION soundLock;
IDirectSound* device;
IDirectSoundBuffer* primaryBuffer;
HANDLE soundThread;  // running, or 0
HANDLE soundWake;    // auto-reset: a request, or the thread is to stop
bool soundStopping;
int32_t pending[PendingLimit];  // sound numbers in the order asked for: a ring
int32_t pendingFirst;
int32_t pendingCount;

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

bool LoadDirectSound() {
    if (!dsoundLibrary)
        dsoundLibrary = LoadLibraryA("DSOUND.DLL");
    if (dsoundLibrary && !directSoundCreate)
        directSoundCreate = reinterpret_cast<DirectSoundCreateProc>(
            reinterpret_cast<void*>(GetProcAddress(dsoundLibrary, "DirectSoundCreate")));
    return directSoundCreate != nullptr;
}

// Every buffer, the primary one and the device run code of the library (a mixing thread among
// it), so they all go before the library does. The sounds keep their samples for the next open.
// Only the sound thread (or shut-down, once it has ended) calls this.
void CloseDevice() {
    {
        CritSecLock lock(&soundLock);
        int32_t number = 0;
        ObjectTableFirst(soundTable);
        while (auto* record = static_cast<SoundRecord*>(ObjectTableNext(soundTable, &number))) {
            if (record->buffer)
                record->buffer->Release();
            record->buffer = nullptr;
        }
    }
    if (primaryBuffer)
        primaryBuffer->Release();
    if (device)
        device->Release();
    primaryBuffer = nullptr;
    device = nullptr;
}

// The default device as it is now. One that refuses its cooperative level or its primary
// buffer is let go, and counts as none.
bool OpenDevice() {
    IDirectSound* opened = nullptr;
    if (!directSoundCreate || directSoundCreate(nullptr, &opened, nullptr) != DS_OK || !opened)
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

// A buffer on the open device holding every sample of the sound, or null.
IDirectSoundBuffer* CreateFilledBuffer(const SoundRecord* record) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = StaticBufferFlags;
    desc.dwBufferBytes = record->sampleBytes;
    desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(record->wave);
    IDirectSoundBuffer* buffer = nullptr;
    if (device->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK || !buffer)
        return nullptr;
    void* part = nullptr;
    DWORD partSize = 0;
    if (FAILED(buffer->Lock(0, desc.dwBufferBytes, &part, &partSize, nullptr, nullptr, 0))) {
        buffer->Release();
        return nullptr;
    }
    const DWORD copied = partSize < desc.dwBufferBytes ? partSize : desc.dwBufferBytes;
    std::memcpy(part, record->wave + record->formatBytes, copied);
    buffer->Unlock(part, partSize, nullptr, 0);
    return buffer;
}

bool AnyPlaying() {
    int32_t number = 0;
    DWORD status = 0;
    bool playing = false;
    ObjectTableFirst(soundTable);
    while (auto* record = static_cast<SoundRecord*>(ObjectTableNext(soundTable, &number)))
        playing = playing || (record->buffer && record->buffer->GetStatus(&status) == DS_OK &&
                              (status & DSBSTATUS_PLAYING));
    return playing;
}

DWORD PlayingMs(const SoundRecord* record) {
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(record->wave);
    const DWORD perSecond = format->nAvgBytesPerSec ? format->nAvgBytesPerSec : 1;
    return static_cast<DWORD>(uint64_t(record->sampleBytes) * MsPerSecond / perSecond);
}

enum class PlayResult { Played, Failed, NoSound };

// A sound still playing starts over rather than overlapping itself. The sound may have been
// freed or replaced since it was asked for: whatever is under its number now plays.
PlayResult PlayOnDevice(int32_t number, DWORD* lengthMs) {
    if (!device && !OpenDevice())
        return PlayResult::Failed;
    CritSecLock lock(&soundLock);
    auto* record = static_cast<SoundRecord*>(ObjectTableGet(soundTable, number));
    if (!record)
        return PlayResult::NoSound;
    if (!record->buffer)
        record->buffer = CreateFilledBuffer(record);
    if (!record->buffer)
        return PlayResult::Failed;
    record->buffer->Stop();
    record->buffer->SetCurrentPosition(0);
    *lengthMs = PlayingMs(record);
    return record->buffer->Play(0, 0, 0) == DS_OK ? PlayResult::Played : PlayResult::Failed;
}

// Waits on the wake event for the next request, the next chime's turn or the device's release;
// with no device open it waits for a request alone, and costs nothing.
DWORD WINAPI SoundThreadMain(void*) {
    // Some DirectSound builds reach the system's audio endpoints through COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD releaseDue = 0;   // tick count, while the device is open
    DWORD lastStarted = 0;  // tick count at the latest chime's start
    DWORD heardSpan = 0;    // how long after it the next chime may start
    for (DWORD timeout = INFINITE;; WaitForSingleObject(soundWake, timeout)) {
        const DWORD now = GetTickCount();
        const bool mayPlay = now - lastStarted >= heardSpan;
        bool asked = false, waiting = false;
        int32_t number = 0;
        {
            CritSecLock lock(&soundLock);
            if (soundStopping)
                break;
            if (pendingCount > 0 && mayPlay) {
                number = pending[pendingFirst];
                pendingFirst = (pendingFirst + 1) % PendingLimit;
                --pendingCount;
                asked = true;
            }
            waiting = pendingCount > 0;
        }
        if (asked) {
            // Failing may mean the device went away since the last chime: it is let go and
            // opened afresh once; failing again gives up on this chime alone.
            DWORD lengthMs = 0;
            PlayResult result = PlayOnDevice(number, &lengthMs);
            if (result == PlayResult::Failed) {
                CloseDevice();
                result = PlayOnDevice(number, &lengthMs);
                if (result == PlayResult::Failed)
                    CloseDevice();
            }
            if (result == PlayResult::Played) {
                lastStarted = GetTickCount();
                releaseDue = lastStarted + lengthMs + ReleaseMarginMs;
                heardSpan = lengthMs < HeardMs ? lengthMs : HeardMs;
            } else if (device) {
                releaseDue = GetTickCount();  // opened for a sound freed since: looked at now
            }
            timeout = 0;  // the next request, if any, is looked at straight away
            continue;
        }
        if (device && static_cast<int32_t>(now - releaseDue) >= 0) {
            bool playing = false;
            {
                CritSecLock lock(&soundLock);
                playing = AnyPlaying();
            }
            if (playing)
                releaseDue = now + QuietCheckMs;
            else
                CloseDevice();
        }
        timeout = device ? releaseDue - now : INFINITE;
        if (waiting && heardSpan - (now - lastStarted) < timeout)
            timeout = heardSpan - (now - lastStarted);
    }
    CloseDevice();
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

// Debuggers and the tests tell the thread by its name; systems without names skip it.
void NameSoundThread() {
    using SetDescriptionProc = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const auto setDescription = reinterpret_cast<SetDescriptionProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (setDescription)
        setDescription(soundThread, L"sound");
}

bool StartSoundThread() {
    if (soundThread)
        return true;
    if (!soundWake)
        soundWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!soundWake)
        return false;
    soundStopping = false;
    soundThread = CreateThread(nullptr, 0, SoundThreadMain, nullptr, 0, nullptr);
    if (soundThread)
        NameSoundThread();
    return soundThread != nullptr;
}

}  // namespace

// The device is not opened here: the first chime opens it, so a device that appears later
// is found then. Ready means DirectSound exists to ask and the sound thread runs.
int32_t SoundInit() {
    if (!soundTable) {
        InitializeCriticalSection(&soundLock);
        soundTable = ObjectTableCreate(sizeof(SoundRecord), SoundTableStep, SoundFree);
    }
    if (!soundTable || !CreateSoundWindow() || !LoadDirectSound())
        return 0;
    return StartSoundThread() ? 1 : 0;
}

// A format block shorter than WAVEFORMATEX ends before cbSize, which the device reads anyway:
// the copy pads it with zeros.
intptr_t SoundFromMemory(int32_t number, const void* data, size_t size) {
    WaveLayout layout{};
    if (!directSoundCreate || !RiffFindWave(data, size, &layout))
        return 0;
    const uint32_t formatBytes = static_cast<uint32_t>(
        layout.formatSize < WaveFormatExBytes ? WaveFormatExBytes : layout.formatSize);
    auto* wave = static_cast<uint8_t*>(PrivateAlloc(formatBytes + layout.dataSize));
    if (!wave)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::memcpy(wave, bytes + layout.formatOffset, layout.formatSize);
    std::memcpy(wave + formatBytes, bytes + layout.dataOffset, layout.dataSize);
    // Only a complete new sound replaces the old one, which stays playable through any failure
    // above.
    CritSecLock lock(&soundLock);
    int32_t chosen = 0;
    auto* record = static_cast<SoundRecord*>(ObjectTableClaim(soundTable, number, &chosen));
    if (!record) {
        PrivateFree(wave);
        return 0;
    }
    record->wave = wave;
    record->formatBytes = formatBytes;
    record->sampleBytes = static_cast<uint32_t>(layout.dataSize);
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(wave);
}

// Called on the window's thread: the sound thread opens the device and plays, so this only
// leaves the request. Each request is a chime of its own, however close to the one before.
int32_t SoundPlay(int32_t number) {
    if (!soundTable)
        return 0;
    {
        CritSecLock lock(&soundLock);
        if (!soundThread || soundStopping || pendingCount == PendingLimit ||
            !ObjectTableGet(soundTable, number))
            return 0;
        pending[(pendingFirst + pendingCount) % PendingLimit] = number;
        ++pendingCount;
    }
    SetEvent(soundWake);
    return 1;
}

void SoundFree(int32_t number) {
    if (!soundTable)
        return;
    CritSecLock lock(&soundLock);
    auto* record = static_cast<SoundRecord*>(ObjectTableGet(soundTable, number));
    if (!record)
        return;
    if (record->buffer)
        record->buffer->Release();  // which also ends its playing
    PrivateFree(record->wave);
    ObjectTableRemove(soundTable, number);
}

// The sound thread is stopped first and waited for without the lock, which it needs to finish;
// it lets go of the device itself. Requests it had not carried out are dropped.
void SoundFreeAll() {
    if (!soundTable)
        return;
    HANDLE thread = nullptr;
    {
        CritSecLock lock(&soundLock);
        soundStopping = true;
        thread = soundThread;
        soundThread = nullptr;
    }
    if (thread) {
        SetEvent(soundWake);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    CloseDevice();  // only when the thread could not be started: then nothing is open
    CritSecLock lock(&soundLock);
    pendingCount = 0;
    ObjectTableReleaseAll(soundTable);
    if (dsoundLibrary)
        FreeLibrary(dsoundLibrary);
    dsoundLibrary = nullptr;
    directSoundCreate = nullptr;
}
