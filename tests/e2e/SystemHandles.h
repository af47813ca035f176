#pragma once
// Counts a process's kernel handles in the system's table of every process's handles, for where
// GetProcessHandleCount says nothing (Wine answers 0). -1 when the table cannot be read.
#include <windows.h>

#include <cstddef>
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
