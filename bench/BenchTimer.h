#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

// Processor time of this process in microseconds: the machine the figures come from is shared,
// and wall time would charge us for the neighbours' work.
inline double CpuMicroseconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10.0;  // 100 ns units
#else
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
#endif
}

// Best of several batches of at least minBatchMicroseconds each (Windows counts processor
// time in clock ticks of about 15 ms, so a batch must span many of them).
template <typename Work>
double BestMicrosecondsPerRun(int batches, Work work, double minBatchMicroseconds = 300000) {
    double best = 1e300;
    for (int b = 0; b < batches; ++b) {
        double start = CpuMicroseconds();
        long runs = 0;
        double spent = 0;
        do {
            work();
            ++runs;
            spent = CpuMicroseconds() - start;
        } while (spent < minBatchMicroseconds);
        double perRun = spent / static_cast<double>(runs);
        if (perRun < best)
            best = perRun;
    }
    return best;
}
