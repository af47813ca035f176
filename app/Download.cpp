#include "app/Download.h"

bool DownloadOverBound(uint64_t bytes, uint32_t elapsedMs) {
    return bytes > DownloadByteCap || elapsedMs >= DownloadDeadlineMs;
}

uint32_t DownloadElapsedMs(uint32_t startTick, uint32_t nowTick) {
    // Unsigned subtraction is modulo 2^32, which is exactly the counter's wrap.
    return nowTick - startTick;
}

bool DownloadComplete(uint64_t received, uint64_t announced) {
    return announced == 0 || received >= announced;
}
