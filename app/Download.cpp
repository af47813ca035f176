#include "app/Download.h"

bool DownloadTakeReport(DownloadProgress* progress, uint32_t status, uint64_t count, uint64_t max) {
    switch (status) {
    case DownloadBeginData:
    case DownloadData:
    case DownloadEndData:
        progress->received = count;
        progress->announced = max;
        return true;
    case DownloadRedirecting:
        return ++progress->redirects <= DownloadRedirectCap;
    default:
        return true;
    }
}

// An error page is a page too, and Wine's download saves it and reports success like any other;
// only the status tells it from the forum's. A connection dropped mid-page can end as a success
// as well, and half a page would be read as the page.
bool DownloadComplete(const DownloadProgress& progress) {
    const bool success = progress.status >= 200 && progress.status < 300;
    return success && (progress.announced == 0 || progress.received >= progress.announced);
}

bool DownloadOverBound(uint64_t bytes, uint32_t elapsedMs, uint32_t deadlineMs) {
    return bytes > DownloadByteCap || elapsedMs >= deadlineMs;
}

uint32_t DownloadElapsedMs(uint32_t startTick, uint32_t nowTick) {
    // Unsigned subtraction is modulo 2^32, which is exactly the counter's wrap.
    return nowTick - startTick;
}
