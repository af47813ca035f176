// Prints, as one JSON object, what the running watcher process holds: memory, kernel handles and
// window-manager objects, for a long run to compare over time. Run under the watcher's Wine
// prefix and server. Where Wine does not keep a count, it reports 0.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace {

// The watcher's title and class; UTF-16 here, so the lookup does not depend on the code page.
const wchar_t WatcherTitle[] = L"\u0441\u043b\u0435\u0434\u0438\u043c \u0437\u0430 "
                               L"\u0444\u043e\u0440\u0443\u043c\u043e\u043c";
const wchar_t WatcherClass[] = L"WindowClass_0";
constexpr int ExitNotFound = 2;

}  // namespace

int main() {
    HWND window = FindWindowW(WatcherClass, WatcherTitle);
    DWORD pid = 0;
    if (window)
        GetWindowThreadProcessId(window, &pid);
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)
                         : nullptr;
    if (!process) {
        printf("{\"found\": false}\n");
        return ExitNotFound;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    printf("{\"found\": true, \"pid\": %lu, \"working_set\": %llu, \"private\": %llu, "
           "\"handles\": %lu, \"gdi\": %lu, \"user\": %lu}\n",
           static_cast<unsigned long>(pid),
           static_cast<unsigned long long>(memory.WorkingSetSize),
           static_cast<unsigned long long>(memory.PagefileUsage),
           static_cast<unsigned long>(handles),
           static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
           static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)));
    CloseHandle(process);
    return 0;
}
