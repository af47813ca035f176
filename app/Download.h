#pragma once
#include <cstdint>

// How far one page download may go before it is given up. Cycles never overlap, so a download
// that never ends would stop the polling for good, and an endless page would be taken whole
// into a 32-bit process; a real forum index is a small fraction of either bound.
constexpr uint64_t DownloadByteCap = 4u << 20;  // bytes received
constexpr uint32_t DownloadDeadlineMs = 60000;  // the product's, from the start of the download
constexpr uint32_t DownloadWatchMs = 1000;      // how often a silent download is looked at
constexpr int32_t DownloadRedirectCap = 10;     // a forum index moves once or twice at most

// The progress reports that matter here, by their bind status (urlmon's BINDSTATUS values).
constexpr uint32_t DownloadRedirecting = 3;
constexpr uint32_t DownloadBeginData = 4;
constexpr uint32_t DownloadData = 5;
constexpr uint32_t DownloadEndData = 6;

// What one download's progress reports have told so far. Only the data reports carry the
// page's byte counts; the others come in an order that differs between systems (on Windows a
// cache or type report, with counts of its own, may follow the data).
struct DownloadProgress {
    uint64_t received;   // bytes, as the last data report gave them
    uint64_t announced;  // the length the server announced; 0 when it gave none
    int32_t redirects;
    uint32_t status;  // HTTP status of the last answer (after redirects); 0 until one came
};

// Takes one progress report in; false once it shows the download must be given up (redirected
// too often).
bool DownloadTakeReport(DownloadProgress* progress, uint32_t status, uint64_t count, uint64_t max);

// True once the server answered with a 2xx status and sent all the length it announced.
bool DownloadComplete(const DownloadProgress& progress);

// True once a download that has received `bytes` in `elapsedMs` must be abandoned.
bool DownloadOverBound(uint64_t bytes, uint32_t elapsedMs, uint32_t deadlineMs);

// Milliseconds from `startTick` to `nowTick` of a 32-bit millisecond counter; correct across
// its wrap-around (every 49.7 days), provided less than that has passed.
uint32_t DownloadElapsedMs(uint32_t startTick, uint32_t nowTick);

// Fetches `address` from the server (never from a cache) into the file at `path` within the
// bounds above and `deadlineMs`; false if the download failed, was given up or the server
// answered with an error, and then the file's content is not to be trusted. Joins the calling
// thread to COM for the call if it had not joined. Windows only.
bool DownloadToFile(const char* address, const char* path, uint32_t deadlineMs);

// Downloads whose records are not freed yet: each goes once its download and its watchdog have
// both let it go, which may be a moment after DownloadToFile returned. Windows only.
int32_t DownloadWatchesAlive();
