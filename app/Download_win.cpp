#include "app/Download.h"

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <new>

static_assert(DownloadRedirecting == BINDSTATUS_REDIRECTING &&
                  DownloadBeginData == BINDSTATUS_BEGINDOWNLOADDATA &&
                  DownloadData == BINDSTATUS_DOWNLOADINGDATA &&
                  DownloadEndData == BINDSTATUS_ENDDOWNLOADDATA,
              "the bind statuses as urlmon numbers them");

namespace {

// Every poll must see the forum as it is now: a copy kept by the system's cache, or by a proxy on
// the way, would hide the changes the watcher exists to report. Nothing asks the user anything
// either; the watcher runs unattended. (Wine's download never caches, whatever it is asked.)
constexpr DWORD BindFlags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE |
                            BINDF_NO_UI | BINDF_SILENTOPERATION;
static_assert((BindFlags & (BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE)) ==
                      (BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE) &&
                  !(BindFlags & (BINDF_OFFLINEOPERATION | BINDF_IGNORESECURITYPROBLEM)),
              "from the server every time, never from or into the cache, with its certificates");

std::atomic<int32_t> watchesAlive{0};

// Watches one download: OnProgress sees the bytes as they arrive, OnResponse the server's status,
// and a timer of the system's timer queue looks at the clock while nothing arrives at all, since
// a server that sends its headers and then goes silent produces no progress to look at (Wine's
// download waits on such a server for minutes, and no message reaches the calling thread
// meanwhile, so a thread timer of the window kind never fires there).
//
// The download holds the record's first reference and a look takes one of its own for as long as
// it looks: the download's thread never waits for a look in progress, nor a look for the
// download's thread, since a look calls Abort, which may need the download's thread to get
// through.
class DownloadWatch final : public IBindStatusCallback, public IHttpNegotiate {
public:
    // From the process heap, not the private one: the last reference may go after the shell has
    // destroyed that, as the process ends during a download.
    static DownloadWatch* Make(uint32_t deadlineMs) {
        void* block = HeapAlloc(GetProcessHeap(), 0, sizeof(DownloadWatch));
        return block ? new (block) DownloadWatch(deadlineMs) : nullptr;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            this->~DownloadWatch();
            HeapFree(GetProcessHeap(), 0, this);
        }
        return left;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback))
            *object = static_cast<IBindStatusCallback*>(this);
        else if (IsEqualIID(iid, IID_IHttpNegotiate))
            *object = static_cast<IHttpNegotiate*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override {
        if (binding) {
            binding->AddRef();
            EnterCriticalSection(&lock_);
            IBinding* earlier = binding_;
            binding_ = binding;
            LeaveCriticalSection(&lock_);
            if (earlier)
                earlier->Release();
        }
        return S_OK;
    }

    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }

    STDMETHODIMP OnProgress(ULONG count, ULONG max, ULONG status, LPCWSTR) override {
        // Each hop of a redirect loop is quick, so only a count ends the loop early, where the
        // binding honours the abort; Wine's follows the chain regardless, and there the
        // deadline ends it.
        if (!DownloadTakeReport(&progress_, status, count, max))
            gaveUp_ = true;
        return gaveUp_ || OverBound(progress_.received) ? E_ABORT : S_OK;
    }

    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
        StopWatching();
        return S_OK;
    }

    // The flags are added to those the download proposes; the record is the caller's, of the
    // size it says, and nothing else in it is asked for (a plain GET).
    STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO* info) override {
        if (!flags || !info || info->cbSize < sizeof info->cbSize)
            return E_INVALIDARG;
        *flags |= BindFlags;
        const ULONG size = info->cbSize;
        ZeroMemory(info, size < sizeof *info ? size : sizeof *info);
        info->cbSize = size;
        return S_OK;
    }

    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* added) override {
        if (added)
            *added = nullptr;
        return S_OK;
    }

    // Called for the answer the redirects end at. The download goes on whatever the status, so
    // that it ends the same way on every system; the status decides afterwards.
    STDMETHODIMP OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* added) override {
        if (added)
            *added = nullptr;
        status_ = status;
        return S_OK;
    }

    // Also after the call: a binding that never reported its stop must not outlive it.
    void StopWatching() {
        EnterCriticalSection(&lock_);
        IBinding* binding = binding_;
        binding_ = nullptr;
        LeaveCriticalSection(&lock_);
        if (binding)
            binding->Release();
    }

    // Ends a download that has outlived the deadline, or that was given up but goes on. The lock
    // only guards the taking of a reference: Abort runs outside it.
    void Look() {
        if (!gaveUp_ && !OverBound(0))
            return;
        EnterCriticalSection(&lock_);
        IBinding* binding = binding_;
        if (binding)
            binding->AddRef();
        LeaveCriticalSection(&lock_);
        if (binding) {
            binding->Abort();
            binding->Release();
        }
    }

    bool Complete() const {
        DownloadProgress progress = progress_;
        progress.status = status_;
        return !gaveUp_ && DownloadComplete(progress);
    }

    DownloadWatch* next = nullptr;  // in the list of downloads under way
    uintptr_t number = 0;           // what its timer is given to find it by

private:
    explicit DownloadWatch(uint32_t deadlineMs)
        : startTick_(GetTickCount()), deadlineMs_(deadlineMs) {
        InitializeCriticalSection(&lock_);
        ++watchesAlive;
    }
    ~DownloadWatch() {
        DeleteCriticalSection(&lock_);
        --watchesAlive;
    }

    bool OverBound(uint64_t received) {
        const uint32_t elapsed = DownloadElapsedMs(startTick_, GetTickCount());
        if (!DownloadOverBound(received, elapsed, deadlineMs_))
            return false;
        gaveUp_ = true;
        return true;
    }

    LONG refs_ = 1;  // the download's
    DWORD startTick_;
    uint32_t deadlineMs_;
    CRITICAL_SECTION lock_;            // binding_ between the download's thread and the timer
    IBinding* binding_ = nullptr;      // from OnStartBinding until the stop
    std::atomic<bool> gaveUp_{false};  // set by the download's thread and by the timer
    std::atomic<uint32_t> status_{0};  // 0 until the server answered
    DownloadProgress progress_{};
};

// The downloads under way. A timer is handed its download's number rather than its record, so
// that one which fires after its download has ended, or is still running as it is deleted, finds
// nothing and touches nothing: deleting it need not wait, nor be waited for.
SRWLOCK watchesLock = SRWLOCK_INIT;
DownloadWatch* watching = nullptr;
uintptr_t lastNumber = 0;

void StartWatching(DownloadWatch* watch) {
    AcquireSRWLockExclusive(&watchesLock);
    watch->number = ++lastNumber;
    watch->next = watching;
    watching = watch;
    ReleaseSRWLockExclusive(&watchesLock);
}

void EndWatching(DownloadWatch* watch) {
    AcquireSRWLockExclusive(&watchesLock);
    DownloadWatch** link = &watching;
    while (*link != watch)
        link = &(*link)->next;
    *link = watch->next;
    ReleaseSRWLockExclusive(&watchesLock);
}

// Looks at a download once a second from the system's timer thread, one thread for the whole
// process: a thread of its own for every download cost as much as the rest of a quiet cycle.
void CALLBACK LookAtDownload(void* number, BOOLEAN) {
    AcquireSRWLockExclusive(&watchesLock);
    DownloadWatch* watch = watching;
    while (watch && watch->number != reinterpret_cast<uintptr_t>(number))
        watch = watch->next;
    if (watch)
        watch->AddRef();
    ReleaseSRWLockExclusive(&watchesLock);
    if (watch) {
        watch->Look();
        watch->Release();
    }
}

bool Download(const char* address, const char* path, uint32_t deadlineMs) {
    DownloadWatch* watch = DownloadWatch::Make(deadlineMs);
    if (!watch)
        return false;
    StartWatching(watch);
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, LookAtDownload,
                               reinterpret_cast<void*>(watch->number), DownloadWatchMs,
                               DownloadWatchMs, WT_EXECUTEDEFAULT))
        timer = nullptr;  // the progress reports still bound the download, if not a silent one
    const HRESULT result = URLDownloadToFileA(nullptr, address, path, 0, watch);
    if (timer)
        DeleteTimerQueueTimer(nullptr, timer, nullptr);  // a look under way ends by itself
    EndWatching(watch);
    watch->StopWatching();
    const bool complete = SUCCEEDED(result) && watch->Complete();
    watch->Release();
    return complete;
}

}  // namespace

// URL monikers want the calling thread in a COM apartment, a single-threaded one as a window's
// thread has. A thread that has joined already (S_FALSE) counts its join again and is let go as
// often; one that has joined the other kind (RPC_E_CHANGED_MODE) serves as it is and must not
// be let go here.
bool DownloadToFile(const char* address, const char* path, uint32_t deadlineMs) {
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool complete = Download(address, path, deadlineMs);
    if (SUCCEEDED(joined))
        CoUninitialize();
    return complete;
}

int32_t DownloadWatchesAlive() { return watchesAlive.load(); }
