#pragma once
#include <windows.h>

// Holds a critical section for the rest of a scope, so no return path can leave it held: the
// thread list, the brush cache, the tray icons and the sound requests each have one.
class CritSecLock {
public:
    explicit CritSecLock(CRITICAL_SECTION* section) : section_(section) {
        EnterCriticalSection(section_);
    }
    ~CritSecLock() { LeaveCriticalSection(section_); }
    CritSecLock(const CritSecLock&) = delete;
    CritSecLock& operator=(const CritSecLock&) = delete;

private:
    CRITICAL_SECTION* section_;
};
