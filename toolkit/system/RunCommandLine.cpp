#include "toolkit/system/RunCommandLine.h"

#include <cstring>

size_t RunCommandLineSize(const char* target) { return (target ? strlen(target) : 0) + 4; }

void RunCommandLineBuild(const char* target, char* out) {
    if (!target)
        target = "";
    const size_t length = strlen(target);
    if (target[0] == CommandQuote) {
        memcpy(out, target, length + 1);
        return;
    }
    out[0] = CommandQuote;
    memcpy(out + 1, target, length);
    out[length + 1] = CommandQuote;
    out[length + 2] = '\0';
}

int32_t RunWorkingDirectoryLength(const char* target) {
    if (!target)
        return 0;
    // A lone backslash in first place is the root of the current drive ("\file"), not a
    // folder of the document's own.
    const char* last = strrchr(target, '\\');
    if (!last || last == target)
        return 0;
    const size_t length = static_cast<size_t>(last - target) + 1;
    return length > INT32_MAX ? 0 : static_cast<int32_t>(length);
}
