#include "toolkit/system/FileSys.h"

#include <windows.h>

intptr_t FileSysOpenRead(const char* path) {
    if (!path)
        return 0;
    // Read sharing only: while we read the page, a download cannot rewrite it under us, and we
    // cannot open a page that is still being written.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    // CreateFileA fails with INVALID_HANDLE_VALUE, not 0; our records use 0 for "none".
    return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<intptr_t>(h);
}

int32_t FileSysRead(intptr_t handle, void* buffer, int32_t size) {
    if (!handle || !buffer || size <= 0)
        return 0;
    DWORD read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, static_cast<DWORD>(size), &read,
                  nullptr))
        return 0;
    return static_cast<int32_t>(read);
}

void FileSysClose(intptr_t handle) {
    if (handle)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

using LongPathProc = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

// Looked up at run time: systems without the long-path call keep the path as GetTempPathA
// gives it.
static DWORD ToLongForm(char* path, DWORD size, DWORD length) {
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    if (!kernel)
        return length;
    FARPROC proc = GetProcAddress(kernel, "GetLongPathNameA");
    if (proc) {
        auto longPath = reinterpret_cast<LongPathProc>(reinterpret_cast<void*>(proc));
        length = longPath(path, path, size);
    }
    FreeLibrary(kernel);
    return length;
}

int32_t FileSysTempPath(char* buffer, int32_t size) {
    if (!buffer || size <= 0)
        return 0;
    const DWORD room = static_cast<DWORD>(size);
    DWORD length = GetTempPathA(room, buffer);
    // Both calls report a path that does not fit by returning the size it would need; nothing
    // usable is in the buffer then, and converting it would read an unterminated text.
    if (length == 0 || length >= room)
        return length >= room ? size : 0;
    length = ToLongForm(buffer, room, length);
    return length >= room ? size : static_cast<int32_t>(length);
}
