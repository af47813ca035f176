// Prints, as one JSON object, what the running watcher process holds: memory, kernel handles and
// window-manager objects, for a long run to compare over time. Run under the watcher's Wine
// prefix and server, built for the watcher's pointer width.
//
// Wine keeps no per-process handle count and no GDI or USER object counts (it answers 0), so
// where the system says 0 the figures come from elsewhere: handles from the system's table of
// every process's handles, GDI objects from the watcher's own GDI handle table (which the system
// maps into each process and names in its process block), and for USER objects the watcher's
// windows and the slot a fresh USER object gets (the table is shared by the whole session and
// hands out its lowest free slot, so objects left behind push that slot up).
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "SystemHandles.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "toolkit/window/Win.h"

namespace {

// The watcher's title and class in UTF-16, so the lookup does not depend on this process's code
// page: the product's Windows-1251 title, the toolkit's class name for window 0.
HWND FindWatcher() {
    wchar_t title[64] = {};
    MultiByteToWideChar(1251, 0, TitleText, -1, title, 64);
    char name[32] = {};
    snprintf(name, sizeof name, WinClassNameFormat, static_cast<int>(WatcherWindow));
    wchar_t className[32] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, className, 32);
    return FindWindowW(className, title);
}
constexpr int ExitNotFound = 2;

using QueryProcessFn = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

FARPROC NtFunction(const char* name) { return GetProcAddress(GetModuleHandleA("ntdll.dll"), name); }

// One slot of the GDI handle table as Wine lays it out, the same at either pointer width.
struct GdiTableEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;  // 0 for a free slot
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiTableEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
constexpr size_t GdiTableSlots = 0x10000;
// Where the process block names the table.
constexpr size_t GdiTableField = sizeof(void*) == 8 ? 0xF8 : 0x94;

long CountGdiInOwnTable(HANDLE process) {
    auto query = reinterpret_cast<QueryProcessFn>(
        reinterpret_cast<void*>(NtFunction("NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0)
        return -1;
    void* table = nullptr;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + GdiTableField,
                           &table, sizeof table, &got) ||
        got != sizeof table || !table)
        return -1;
    std::vector<GdiTableEntry> entries(GdiTableSlots);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof entries[0],
                           &got) ||
        got != entries.size() * sizeof entries[0])
        return -1;
    long used = 0;
    for (const GdiTableEntry& entry : entries)
        used += entry.type != 0;
    return used;
}

struct WindowCount {
    DWORD pid;
    long count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM context) {
    auto* windows = reinterpret_cast<WindowCount*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    windows->count += pid == windows->pid;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM context) {
    CountChild(window, context);
    EnumChildWindows(window, CountChild, context);
    return TRUE;
}

long CountWindows(DWORD pid) {
    WindowCount windows = {pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND message = nullptr;
         (message = FindWindowExW(HWND_MESSAGE, message, nullptr, nullptr)) != nullptr;)
        CountTopLevel(message, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

}  // namespace

int main() {
    HWND window = FindWatcher();
    DWORD pid = 0;
    if (window)
        GetWindowThreadProcessId(window, &pid);
    HANDLE process =
        pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
    if (!process) {
        printf("{\"found\": false}\n");
        return ExitNotFound;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    DWORD counted = 0;
    GetProcessHandleCount(process, &counted);
    const long handles = counted ? static_cast<long>(counted) : CountHandlesInSystemTable(pid);
    const DWORD gdiCounted = GetGuiResources(process, GR_GDIOBJECTS);
    const long gdi = gdiCounted ? static_cast<long>(gdiCounted) : CountGdiInOwnTable(process);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    printf(
        "{\"found\": true, \"pid\": %lu, \"working_set\": %llu, \"private\": %llu, "
        "\"handles\": %ld, \"gdi\": %ld, \"user\": %lu, \"windows\": %ld, "
        "\"user_slot\": %lu}\n",
        static_cast<unsigned long>(pid), static_cast<unsigned long long>(memory.WorkingSetSize),
        static_cast<unsigned long long>(memory.PagefileUsage), handles, gdi,
        static_cast<unsigned long>(user), CountWindows(pid), NextUserSlot());
    CloseHandle(process);
    return 0;
}
