#include "app/Download.h"

#include <windows.h>
#include <urlmon.h>

namespace {

// Watches one download: OnProgress sees the bytes as they arrive, and a thread timer looks at
// the clock while nothing arrives at all, since a server that sends its headers and then goes
// silent produces no progress to look at. URLDownloadToFileA runs the binding's messages on the
// calling thread while it waits, which is what lets the timer fire there.
class BoundedDownload final : public IBindStatusCallback {
public:
    explicit BoundedDownload(DWORD startTick) : startTick_(startTick) {}

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
            binding_ = binding;
            watching_ = this;
            timer_ = SetTimer(nullptr, 0, DownloadWatchMs, Watch);
        }
        return S_OK;
    }

    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return S_OK; }

    STDMETHODIMP OnProgress(ULONG progress, ULONG announced, ULONG status, LPCWSTR) override {
        received_ = progress;
        announced_ = announced;
        // Each hop of a redirect loop is quick, so only a count ends the loop early, where the
        // binding honours the abort; Wine's follows the chain regardless, and there the
        // deadline ends it.
        if (status == BINDSTATUS_REDIRECTING && ++redirects_ > DownloadRedirectCap)
            gaveUp_ = true;
        return gaveUp_ || OverBound(progress) ? E_ABORT : S_OK;
    }

    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override {
        StopWatching();
        return S_OK;
    }

    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return S_OK;
    }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    // Also after the call: a binding that never reported its stop must not outlive it.
    void StopWatching() {
        if (timer_)
            KillTimer(nullptr, timer_);
        timer_ = 0;
        if (watching_ == this)
            watching_ = nullptr;
        if (binding_)
            binding_->Release();
        binding_ = nullptr;
    }

    // The last report's counts are those of the end of the data.
    bool Complete() const { return !gaveUp_ && DownloadComplete(received_, announced_); }

private:
    bool OverBound(ULONG progress) {
        if (!DownloadOverBound(progress, DownloadElapsedMs(startTick_, GetTickCount())))
            return false;
        gaveUp_ = true;
        return true;
    }

    // Cycles never overlap, so one download at a time is watched.
    static void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
        BoundedDownload* self = watching_;
        if (self && self->binding_ && (self->gaveUp_ || self->OverBound(0)))
            self->binding_->Abort();
    }

    static BoundedDownload* watching_;
    DWORD startTick_;
    IBinding* binding_ = nullptr;
    UINT_PTR timer_ = 0;
    bool gaveUp_ = false;
    int32_t redirects_ = 0;
    ULONG received_ = 0;
    ULONG announced_ = 0;  // 0: the server gave no length
};

BoundedDownload* BoundedDownload::watching_ = nullptr;

}  // namespace

bool DownloadToFile(const char* address, const char* path) {
    BoundedDownload watch(GetTickCount());
    const HRESULT result = URLDownloadToFileA(nullptr, address, path, 0, &watch);
    watch.StopWatching();
    return SUCCEEDED(result) && watch.Complete();
}
