// Poll cycles against a small HTTP server inside the test, with the window, controls and tray
// icon made as the shell makes them. Cycles mostly run right on the main thread, which owns the
// window; those started through StartPoll run on workers while the test pumps messages.
#include "app/Poll.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Shell.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "app/resources/Resources.h"
#include "toolkit/media/Image.h"
#include "toolkit/system/Heap.h"
#include "toolkit/Toolkit.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

const char* forumSiteRoot = "";  // aimed at the test's server below
WatcherTiming watcherTiming = ProductTiming;

namespace {

constexpr DWORD WaitLimit = 20000;  // ms; only reached when something is broken

// "Наши пользователи оставили сообщений:" and "Зарегистрированные пользователи:", Windows-1251.
constexpr char TotalMarker[] =
    "\xCD\xE0\xF8\xE8 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8 "
    "\xEE\xF1\xF2\xE0\xE2\xE8\xEB\xE8 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:";
constexpr char UsersMarker[] =
    "\xC7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED\xED\xFB\xE5 "
    "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8:";

struct PageShape {
    const char* total = "100";            // nullptr: the total line has no bold run
    std::vector<std::string> users = {"Ann", "Bob"};
    bool usersFirst = false;
    bool withUsers = true;
};

std::string TotalLine(const char* total) {
    std::string line = "<td><span class=\"gensmall\">" + std::string(TotalMarker) + " ";
    if (total)
        line += "<b>" + std::string(total) + "</b>";
    return line + "<br /></span></td>";
}

std::string UsersLine(const std::vector<std::string>& users) {
    std::string line = "<td><span class=\"gensmall\">" + std::string(UsersMarker);
    for (size_t i = 0; i < users.size(); ++i)
        line += std::string(i ? ", " : " ") + "<a href=\"profile.php?u=" + std::to_string(i) +
                "\"><b>" + users[i] + "</b></a>";
    return line + "</span></td>";
}

std::string Page(const PageShape& shape) {
    const std::string users = shape.withUsers ? UsersLine(shape.users) + "\r\n" : "";
    return "<html><body><table>\r\n" + (shape.usersFirst ? users : "") + TotalLine(shape.total) +
           "\r\n" + (shape.usersFirst ? "" : users) + "</table></body></html>\r\n";
}

// A socket bound to a free loopback port, and the address of that port.
SOCKET BindLoopback(std::string* root) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size))
        return INVALID_SOCKET;
    *root = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    return s;
}

// Answers every request with the current page; can hold answers back to keep a cycle busy.
class PageServer {
public:
    bool Start() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data))
            return false;
        listener_ = BindLoopback(&root_);
        if (listener_ == INVALID_SOCKET || listen(listener_, 8))
            return false;
        release_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }
    void Stop() {
        closesocket(listener_);
        SetEvent(release_);
        if (thread_.joinable())
            thread_.join();
        CloseHandle(release_);
        WSACleanup();
    }
    void SetPage(const std::string& page) {
        std::lock_guard<std::mutex> lock(mutex_);
        page_ = page;
    }
    void Hold() { ResetEvent(release_); }
    void Release() { SetEvent(release_); }
    int Requests() const { return requests_; }
    const std::string& Root() const { return root_; }

private:
    void Serve() {
        for (SOCKET client; (client = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET;) {
            std::string request;
            char chunk[1024];
            int got = 1;
            while (got > 0 && request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
                got = recv(client, chunk, sizeof chunk, 0);
                request.append(chunk, got > 0 ? static_cast<size_t>(got) : 0);
            }
            ++requests_;
            WaitForSingleObject(release_, WaitLimit);
            std::string answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=windows-1251\r\n"
                         "Cache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                         std::to_string(page_.size()) + "\r\n\r\n" + page_;
            }
            send(client, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }
    SOCKET listener_ = INVALID_SOCKET;
    std::string root_;
    HANDLE release_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::string page_;
    std::atomic<int> requests_{0};
};

PageServer server;
std::string pageFile;
std::string serverRoot;
std::string refusedRoot;  // an address where nothing listens

// A loopback port that was free a moment ago: connecting to it is refused.
std::string RefusedRoot() {
    std::string root;
    closesocket(BindLoopback(&root));
    return root;
}

HWND Control(int32_t number) { return GetDlgItem(WinHandle(WatcherWindow), number); }

std::string LabelText(int32_t number) {
    char text[512] = {};
    GetWindowTextA(Control(number), text, sizeof text);
    return text;
}

std::vector<std::string> Rows() {
    HWND list = Control(UserList);
    std::vector<std::string> rows;
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string row(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&row[0]));
        row.resize(row.size() - 1);
        rows.push_back(row);
    }
    return rows;
}

std::string LastTotal() { return watcher.lastTotalText ? watcher.lastTotalText : "(none)"; }

HICON WindowIcon() {
    return reinterpret_cast<HICON>(
        SendMessageA(WinHandle(WatcherWindow), WM_GETICON, ICON_SMALL, 0));
}

// 'r' or 'b' by the icon's dominant colour; '?' when it cannot be read (a destroyed icon).
char IconColour(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return '?';
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = header.bmiHeader.biHeight = 16;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    uint32_t pixels[16 * 16] = {};
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, info.hbmColor, 0, 16, pixels, &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    long red = 0, blue = 0;
    for (uint32_t pixel : pixels) {
        red += (pixel >> 16) & 0xFF;
        blue += pixel & 0xFF;
    }
    return rows != 16 ? '?' : red > blue ? 'r' : blue > red ? 'b' : '?';
}

bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > WaitLimit)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void Cycle(const PageShape& shape) {
    server.SetPage(Page(shape));
    PollForum(0);
}

class PollForumTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A temporary folder of our own, so no other test's Temp.htm gets in the way.
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        const std::string folder =
            std::string(temp) + "poll-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
        pageFile = folder + PageFileName;

        ASSERT_TRUE(PrivateHeapCreate());
        ToolkitStartUp();
        ASSERT_TRUE(WatcherInit());
        ShellBuildWindow();
        ASSERT_TRUE(server.Start());
        serverRoot = server.Root();
        refusedRoot = RefusedRoot();
    }
    static void TearDownTestSuite() {
        server.Stop();
        ToolkitShutDown();
        PrivateHeapDestroy();
    }
    void SetUp() override { Reset(); }
    // As the shell leaves things before its first cycle, with no page on disk.
    static void Reset() {
        WatcherInit();
        forumSiteRoot = serverRoot.c_str();
        GadgetSetText(StatusLabel, "");
        GadgetSetText(TotalLabel, Label3Initial);
        GadgetSetText(CounterLabel, Label4Initial);
        GadgetClearItems(UserList);
        DeleteFileA(pageFile.c_str());
    }
};

}  // namespace

// What the first page shows is checked, with what it stores, by the next page of each sequence
// below; here is what only the first cycle leaves behind.
TEST_F(PollForumTest, FirstCycleStampsAndKeepsThePageWithoutAlerting) {
    Cycle({});
    EXPECT_EQ(watcher.soundPending, 0);
    const std::string stamp = LabelText(StatusLabel);
    EXPECT_EQ(stamp.substr(0, sizeof StampPrefix - 1), StampPrefix);
    EXPECT_EQ(stamp.size(), sizeof StampPrefix - 1 + 8) << stamp;  // hh:ii:ss
    EXPECT_EQ(FileText(pageFile), Page({}));
}

TEST_F(PollForumTest, ChangesOfTheTotalCountUpUntilAcknowledged) {
    Cycle({});
    PageShape changed;
    changed.total = "101";
    Cycle(changed);
    EXPECT_EQ(LabelText(TotalLabel), std::string(TotalPrefix) + "101");
    EXPECT_EQ(LabelText(CounterLabel), std::string(NewPrefix) + "1");
    EXPECT_EQ(watcher.soundPending, 1);
    EXPECT_EQ(watcher.newCount, 2);
    EXPECT_EQ(IconColour(WindowIcon()), 'b');

    // The next decode under the image number frees that image; the window's icon must live on.
    ImageFromMemory(IconImage, IconIdle, IconIdleSize);
    EXPECT_EQ(IconColour(WindowIcon()), 'b');

    watcher.soundPending = 0;  // as the shell does once it has played the sound
    changed.total = "102";
    Cycle(changed);
    EXPECT_EQ(LabelText(CounterLabel), std::string(NewPrefix) + "2");
    EXPECT_EQ(watcher.soundPending, 1);
    EXPECT_EQ(watcher.newCount, 3);

    ShellAcknowledge();
    EXPECT_EQ(LabelText(CounterLabel), Label4Acknowledged);
    EXPECT_EQ(watcher.newCount, 1);
    EXPECT_EQ(IconColour(WindowIcon()), 'r');
    EXPECT_EQ(LastTotal(), "102") << "acknowledging keeps the total";

    changed.total = "103";
    Cycle(changed);
    EXPECT_EQ(LabelText(CounterLabel), std::string(NewPrefix) + "1");
    EXPECT_EQ(IconColour(WindowIcon()), 'b');
}

// Pages after a first one with total "100" and users Ann and Bob, and what each leaves shown.
struct Step {
    PageShape page;
    const char* total;   // shown after the prefix, and stored
    int32_t newCount;
    std::vector<std::string> rows;
    int32_t userCount;   // of the last users line seen
};
struct Sequence { const char* name; std::vector<Step> steps; };

TEST_F(PollForumTest, PagesAfterTheFirstChangeWhatTheyShouldOnly) {
    const std::vector<std::string> both = {" Ann", " Bob", ""};
    const Sequence cases[] = {
        // The list is emptied before it is refilled, and nothing alerts.
        {"unchanged", {{{}, "100", 1, both, 3}}},
        {"fewer users", {{{"100", {"Ann"}}, "100", 1, {" Ann", ""}, 2}}},
        // A total line that lost its bold run is a change, and stored; after it nothing
        // alerts until a total has been seen again.
        {"total becomes empty",
         {{{nullptr}, "", 2, both, 3}, {{"200"}, "200", 2, both, 3}, {{"300"}, "300", 3, both, 3}}},
        // Reading stops at the users line, so a total line after it goes unseen.
        {"users line first", {{{"555", {"Ann", "Bob"}, true}, "100", 1, both, 3}}},
        {"no users line", {{{"100", {}, false, false}, "100", 1, {}, 3}}},
    };
    for (const Sequence& c : cases) {
        Reset();
        Cycle({});
        for (size_t i = 0; i < c.steps.size(); ++i) {
            SCOPED_TRACE(testing::Message() << c.name << ", page " << i + 2);
            const Step& step = c.steps[i];
            Cycle(step.page);
            EXPECT_EQ(LabelText(TotalLabel), std::string(TotalPrefix) + step.total);
            EXPECT_EQ(LastTotal(), step.total);
            EXPECT_EQ(watcher.newCount, step.newCount);
            EXPECT_EQ(LabelText(CounterLabel), step.newCount == 1 ? std::string(Label4Initial)
                                               : NewPrefix + std::to_string(step.newCount - 1));
            EXPECT_EQ(Rows(), step.rows);
            EXPECT_EQ(watcher.lastUserCount, step.userCount);
        }
    }
}

// The list paints nothing while a page refills it, and must come out of that: its scroll bar
// then spans every row, which the list only works out while it may paint.
TEST_F(PollForumTest, RefilledListScrollsOverAllItsRows) {
    HWND list = Control(UserList);
    auto scrollTop = [list] {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE;
        return GetScrollInfo(list, SB_VERT, &info) ? info.nMax : -1;
    };
    PageShape shape;
    shape.users.assign(200, "user");
    Cycle(shape);
    ASSERT_EQ(Rows().size(), 201u);
    EXPECT_EQ(scrollTop(), 200);
    shape.users.resize(100);
    Cycle(shape);
    EXPECT_EQ(scrollTop(), 100);
    EXPECT_TRUE(IsWindowVisible(list));
    shape.withUsers = false;
    Cycle(shape);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(IsWindowVisible(list));
}

// When the forum cannot be reached nothing changes, not even the time stamp, whether or not an
// earlier page is still on disk.
TEST_F(PollForumTest, FailedDownloadChangesNothing) {
    forumSiteRoot = refusedRoot.c_str();
    PollForum(0);
    EXPECT_EQ(LabelText(StatusLabel), "");
    EXPECT_EQ(GetFileAttributesA(pageFile.c_str()), INVALID_FILE_ATTRIBUTES);

    forumSiteRoot = serverRoot.c_str();
    Cycle({});
    GadgetSetText(StatusLabel, "stamp");
    forumSiteRoot = refusedRoot.c_str();
    PageShape changed;
    changed.total = "999";
    Cycle(changed);
    EXPECT_EQ(LabelText(StatusLabel), "stamp");
    EXPECT_EQ(LabelText(TotalLabel), std::string(TotalPrefix) + "100");
    EXPECT_EQ(Rows(), (std::vector<std::string>{" Ann", " Bob", ""}));
    EXPECT_EQ(LastTotal(), "100");
    EXPECT_EQ(watcher.newCount, 1);
    EXPECT_EQ(FileText(pageFile), Page({})) << "the earlier page stays as it was";
}

// A timer event that finds a cycle still running starts none; once it has ended, the next does.
TEST_F(PollForumTest, StartPollRunsOneCycleAtATime) {
    server.SetPage(Page({}));
    const int before = server.Requests();
    server.Hold();
    StartPoll();
    ASSERT_TRUE(PumpUntil([&] { return server.Requests() == before + 1; }));
    StartPoll();
    StartPoll();
    EXPECT_EQ(watcher.pollRunning, 1);
    server.Release();
    ASSERT_TRUE(PumpUntil([] { return watcher.pollRunning == 0; }));
    EXPECT_EQ(server.Requests(), before + 1);
    EXPECT_EQ(LabelText(TotalLabel), std::string(TotalPrefix) + "100");

    StartPoll();
    ASSERT_TRUE(PumpUntil([] { return watcher.pollRunning == 0; }));
    EXPECT_EQ(server.Requests(), before + 2);
}

// The acknowledgement waits for a cycle that holds the watcher lock while that cycle waits for
// the main thread to handle what it sent: both must get through.
TEST_F(PollForumTest, AcknowledgeWaitsForACycleWithoutDeadlock) {
    HANDLE locked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread cycle([&] {
        WatcherLock(LockWaiter::Worker);
        SetEvent(locked);
        WaitForSingleObject(waiting, WaitLimit);
        GadgetSetText(StatusLabel, "from the cycle");  // sent to the main thread
        WatcherUnlock();
    });
    WaitForSingleObject(locked, WaitLimit);
    SetEvent(waiting);
    ShellAcknowledge();
    cycle.join();
    EXPECT_EQ(LabelText(StatusLabel), "from the cycle");
    EXPECT_EQ(LabelText(CounterLabel), Label4Acknowledged);
    CloseHandle(locked);
    CloseHandle(waiting);
}
