// Stand-in for the Windows file calls, so the line reading runs natively under the sanitizers.
#include "toolkit/system/FileSys.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Descriptor 0 is a valid file here but 0 means "none" to the toolkit, hence the offset.
intptr_t FileSysOpenRead(const char* path) {
    if (!path)
        return 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? 0 : static_cast<intptr_t>(fd) + 1;
}

int32_t FileSysRead(intptr_t handle, void* buffer, int32_t size) {
    if (handle <= 0 || !buffer || size <= 0)
        return 0;
    ssize_t n;
    do {
        n = read(static_cast<int>(handle - 1), buffer, static_cast<size_t>(size));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<int32_t>(n);
}

void FileSysClose(intptr_t handle) {
    if (handle > 0)
        close(static_cast<int>(handle - 1));
}

int32_t FileSysTempPath(char* buffer, int32_t size) {
    const char* dir = std::getenv("TMPDIR");
    if (!dir || !*dir)
        dir = "/tmp/";
    const size_t length = std::strlen(dir);
    const bool needsSeparator = dir[length - 1] != '/';
    const size_t total = length + needsSeparator;
    if (!buffer || size <= 0 || total >= static_cast<size_t>(size))
        return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total) + 1;
    std::memcpy(buffer, dir, length);
    if (needsSeparator)
        buffer[length] = '/';
    buffer[total] = '\0';
    return static_cast<int32_t>(total);
}
