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

bool DownloadComplete(const DownloadProgress& progress) {
    return progress.announced == 0 || progress.received >= progress.announced;
}

bool DownloadOverBound(uint64_t bytes, uint32_t elapsedMs, uint32_t deadlineMs) {
    return bytes > DownloadByteCap || elapsedMs >= deadlineMs;
}

uint32_t DownloadElapsedMs(uint32_t startTick, uint32_t nowTick) {
    // Unsigned subtraction is modulo 2^32, which is exactly the counter's wrap.
    return nowTick - startTick;
}
