#pragma once
// Handle figures for where the system's own counts say nothing (Wine answers 0 to
// GetProcessHandleCount and GetGuiResources).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
};
struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

// A process's kernel handles, counted in the system's table of every process's handles; -1 when
// the table cannot be read.
inline long CountHandlesInSystemTable(DWORD pid) {
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG SystemHandleInformationClass = 16;
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; attempt++) {
        ULONG needed = 0;
        if (query(SystemHandleInformationClass, buffer.data(), static_cast<ULONG>(buffer.size()),
                  &needed) >= 0) {
            const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
            const size_t first = offsetof(SystemHandleTable, entries);
            if (first + count * sizeof(SystemHandleEntry) > buffer.size())
                return -1;
            auto* entries = reinterpret_cast<SystemHandleEntry*>(buffer.data() + first);
            long own = 0;
            for (ULONG i = 0; i < count; i++)
                own += entries[i].ownerPid == pid;
            return own;
        }
        buffer.resize(buffer.size() * 4);
    }
    return -1;
}

// The slot a fresh USER object gets. Wine's USER handle table is shared by the session and hands
// out its lowest free slot, so objects left behind by anyone push it up.
inline unsigned long NextUserSlot() {
    BYTE andMask[32] = {0};
    BYTE xorMask[32] = {0};
    HICON probe = CreateIcon(nullptr, 16, 16, 1, 1, andMask, xorMask);
    const auto slot = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(probe) & 0xFFFF);
    DestroyIcon(probe);
    return slot;
}
