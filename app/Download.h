#pragma once
#include <cstdint>

// How far one page download may go before it is given up. Cycles never overlap, so a download
// that never ends would stop the polling for good, and an endless page would be taken whole
// into a 32-bit process; a real forum index is a small fraction of either bound.

constexpr uint64_t DownloadByteCap = 4u << 20;      // bytes received
constexpr uint32_t DownloadDeadlineMs = 60000;      // from the start of the download
constexpr uint32_t DownloadWatchMs = 1000;          // how often a silent download is looked at
constexpr int32_t DownloadRedirectCap = 10;         // a forum index moves once or twice at most

// True once a download that has received `bytes` in `elapsedMs` must be abandoned.
bool DownloadOverBound(uint64_t bytes, uint32_t elapsedMs);

// True unless the server announced `announced` bytes (0: no length given) and fewer came: a
// connection dropped mid-page can end as a success, and half a page would be read as the page.
bool DownloadComplete(uint64_t received, uint64_t announced);

// Milliseconds from `startTick` to `nowTick` of a 32-bit millisecond counter; correct across
// its wrap-around (every 49.7 days), provided less than that has passed.
uint32_t DownloadElapsedMs(uint32_t startTick, uint32_t nowTick);

// Fetches `address` into the file at `path` within the bounds above; false if the download
// failed or was given up, and then the file's content is not to be trusted. Windows only.
bool DownloadToFile(const char* address, const char* path);
