#include "app/Download.h"

#include <windows.h>
#include <urlmon.h>

#include <atomic>

static_assert(DownloadRedirecting == BINDSTATUS_REDIRECTING &&
                  DownloadBeginData == BINDSTATUS_BEGINDOWNLOADDATA &&
                  DownloadData == BINDSTATUS_DOWNLOADINGDATA &&
                  DownloadEndData == BINDSTATUS_ENDDOWNLOADDATA,
              "the bind statuses as urlmon numbers them");

namespace {

// Watches one download: OnProgress sees the bytes as they arrive, and a timer of the system's
// timer queue looks at the clock while nothing arrives at all, since a server that sends its
// headers and then goes silent produces no progress to look at (Wine's download waits on such a
// server for minutes, and no message reaches the calling thread meanwhile, so a thread timer of
// the window kind never fires there).
class BoundedDownload final : public IBindStatusCallback {
public:
    BoundedDownload(DWORD startTick, uint32_t deadlineMs)
        : startTick_(startTick), deadlineMs_(deadlineMs) {
        InitializeCriticalSection(&lock_);
    }
    ~BoundedDownload() { DeleteCriticalSection(&lock_); }

    // Lives on the caller's stack for exactly the one call: the counts mean nothing.
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    STDMETHODIMP OnStartBinding(DWORD, IBinding* binding) override {
        if (binding) {
            binding->AddRef();
            EnterCriticalSection(&lock_);
            binding_ = binding;
            LeaveCriticalSection(&lock_);
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

    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // Also after the call: a binding that never reported its stop must not outlive it.
    void StopWatching() {
        EnterCriticalSection(&lock_);
        if (binding_)
            binding_->Release();
        binding_ = nullptr;
        LeaveCriticalSection(&lock_);
    }

    // Ends a download that has outlived the deadline, or that was given up but goes on.
    void Look() {
        EnterCriticalSection(&lock_);
        if (binding_ && (gaveUp_ || OverBound(0)))
            binding_->Abort();
        LeaveCriticalSection(&lock_);
    }

    CRITICAL_SECTION lock_;  // binding_ between the download's thread and the timer

    bool Complete() const { return !gaveUp_ && DownloadComplete(progress_); }

private:
    bool OverBound(uint64_t received) {
        const uint32_t elapsed = DownloadElapsedMs(startTick_, GetTickCount());
        if (!DownloadOverBound(received, elapsed, deadlineMs_))
            return false;
        gaveUp_ = true;
        return true;
    }

    DWORD startTick_;
    uint32_t deadlineMs_;
    IBinding* binding_ = nullptr;
    std::atomic<bool> gaveUp_{false};  // set by the download's thread and by the timer
    DownloadProgress progress_{};
};

// Looks at a download once a second from the system's timer thread, one thread for the whole
// process: a thread of its own for every download cost as much as the rest of a quiet cycle.
void CALLBACK LookAtDownload(void* download, BOOLEAN) {
    static_cast<BoundedDownload*>(download)->Look();
}

}  // namespace

bool DownloadToFile(const char* address, const char* path, uint32_t deadlineMs) {
    BoundedDownload watch(GetTickCount(), deadlineMs);
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, LookAtDownload, &watch, DownloadWatchMs,
                               DownloadWatchMs, WT_EXECUTEDEFAULT))
        timer = nullptr;  // the progress reports still bound the download, if not a silent one
    const HRESULT result = URLDownloadToFileA(nullptr, address, path, 0, &watch);
    // Waits for a look in progress: the download's record lives on this stack.
    if (timer)
        DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    watch.StopWatching();
    return SUCCEEDED(result) && watch.Complete();
}
