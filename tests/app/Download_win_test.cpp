// Downloads from a page server inside the test: which answers count, what a download leaves of
// its thread's COM, and the deadline against a server that stalls mid-page, many times over.
#include "app/Download.h"
#include "LoopbackServer.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t Deadline = 1500;     // ms; short, so that stalls around it cost little
constexpr DWORD Slack = 2000;           // ms a download may take past its deadline, or to start
constexpr int Lanes = 5, PerLane = 10;  // ids 1 to 50 of the server's 64

bool Fetch(int status, uint32_t silence, int id, uint32_t deadline) {
    static const std::string root = ServeLoopback();
    char path[MAX_PATH] = {};
    GetTempPathA(sizeof path, path);
    const std::string file = path + std::to_string(GetCurrentThreadId()) + ".htm";
    const std::string address =
        root + std::to_string(status) + "/" + std::to_string(silence) + "/" + std::to_string(id);
    return DownloadToFile(address.c_str(), file.c_str(), deadline);
}

}  // namespace

// Wine's download saves an error page and reports success; only a 2xx answer is the page. The
// download joins the thread to COM for itself only: a thread leaves it as it came, whether it had
// not joined, had joined the same kind, or the other kind.
TEST(DownloadToFile, CountsOnly2xxAnswersAndLeavesTheThreadsComAsItFound) {
    constexpr DWORD None = ~0u;
    // The COM state before, and what joining a single-threaded apartment returns after.
    const std::pair<DWORD, HRESULT> cases[] = {{None, S_OK},
                                               {COINIT_APARTMENTTHREADED, S_FALSE},
                                               {COINIT_MULTITHREADED, RPC_E_CHANGED_MODE}};
    for (const auto& c : cases)
        std::thread([&c] {
            if (c.first != None)
                CoInitializeEx(nullptr, c.first);
            for (int status : {200, 302, 404, 500, 503})
                EXPECT_EQ(Fetch(status, 0, 0, 20000), status < 400) << status << " " << c.first;
            const HRESULT rejoin = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            EXPECT_EQ(rejoin, c.second) << c.first;
            for (int joins = SUCCEEDED(rejoin) + (c.first != None); joins > 0; --joins)
                CoUninitialize();
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << c.first;
            CoUninitialize();
        }).join();
}

// Fifty downloads, five at a time, from a server that goes silent mid-page until before, at or
// after the deadline, or until the client hangs up. Each ends soon after the deadline at the
// latest, one whose page comes after it counts for nothing, and the next starts at once; every
// download's record is freed once its download and its watchdog have let it go. (How soon a
// page that comes in time is read depends on the machine's load: that is not asked here.)
TEST(DownloadToFile, EndsStalledDownloadsByTheDeadline) {
    const uint32_t silences[] = {0, Deadline / 3, Deadline, Deadline + 300, 60000};
    Fetch(200, 0, 0, 20000);  // the first download of the process loads what the others use
    std::vector<std::thread> lanes;
    for (int lane = 0; lane < Lanes; ++lane)
        lanes.emplace_back([&silences, lane] {
            for (int i = 0; i < PerLane; ++i) {
                const uint32_t silence = silences[(lane + i) % std::size(silences)];
                const int id = 1 + lane * PerLane + i;
                const DWORD start = GetTickCount();
                const bool counted = Fetch(200, silence, id, Deadline);
                EXPECT_LE(GetTickCount() - start, Deadline + Slack) << "silent " << silence;
                EXPECT_LE(arrived[id] - start, Slack) << "request " << id << " late";
                EXPECT_FALSE(counted && silence > Deadline) << "silent " << silence;
            }
        });
    for (std::thread& lane : lanes)
        lane.join();
    const DWORD start = GetTickCount();
    while (DownloadWatchesAlive() && GetTickCount() - start < 10000)
        Sleep(10);
    EXPECT_EQ(DownloadWatchesAlive(), 0);
}
