// Looks at the running watcher from outside, as a user's tools would: finds its window, reads the
// controls, pokes the tray callback and the close request, and prints one JSON object per call.
// Run under the same Wine prefix and server as the watcher. Every cross-process call is bounded,
// so a hung watcher makes this report "timeout" rather than hang the tests.
//
//   inspect_win state [wait_ms]        window, labels 1/3/4, list rows, icon, tray presence
//   inspect_win tray down|rdown|dblclk|rdblclk|move|up|rup
//   inspect_win close                  posts WM_CLOSE
//   inspect_win ping                   how long a sent message takes to come back
//   inspect_win trayicon HWND          whether the tray still holds icon 7 of that window
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT TrayCallbackMsg = 12501;
constexpr UINT TrayIconNumber = 7;
constexpr UINT SendTimeoutMs = 2000;
constexpr int LabelIds[] = {1, 3, 4};
constexpr int ListBoxId = 2;
constexpr int ExitNotFound = 2;
constexpr int ExitBadUsage = 3;
constexpr int ExitTimeout = 4;

// The watcher's title and class; UTF-16 here, so the lookup does not depend on the code page.
const wchar_t WatcherTitle[] = L"\u0441\u043b\u0435\u0434\u0438\u043c \u0437\u0430 "
                               L"\u0444\u043e\u0440\u0443\u043c\u043e\u043c";
const wchar_t WatcherClass[] = L"WindowClass_0";

std::string Utf8(const wchar_t* text, int length) {
    if (length <= 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A sent message that does not come back in time counts as a hang.
bool SendBounded(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               SendTimeoutMs, result) != 0;
}

bool ControlText(HWND control, std::string* out) {
    DWORD_PTR length = 0;
    if (!control || !SendBounded(control, WM_GETTEXTLENGTH, 0, 0, &length))
        return false;
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendBounded(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                     &copied))
        return false;
    *out = Utf8(buffer.data(), static_cast<int>(copied));
    return true;
}

// The W message, because Wine hands another process's list box rows over as UTF-16 even when the
// A function asks.
bool ListRows(HWND list, std::vector<std::string>* rows) {
    DWORD_PTR count = 0;
    if (!list || !SendBounded(list, LB_GETCOUNT, 0, 0, &count) || count == DWORD_PTR(LB_ERR))
        return false;
    for (DWORD_PTR i = 0; i < count; i++) {
        DWORD_PTR length = 0;
        if (!SendBounded(list, LB_GETTEXTLEN, i, 0, &length) || length == DWORD_PTR(LB_ERR))
            return false;
        std::vector<wchar_t> buffer(length + 1);
        DWORD_PTR copied = 0;
        if (!SendBounded(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), &copied) ||
            copied == DWORD_PTR(LB_ERR))
            return false;
        rows->push_back(Utf8(buffer.data(), static_cast<int>(copied)));
    }
    return true;
}

// NIM_MODIFY with nothing to change succeeds exactly when the tray knows the icon.
bool TrayHasIcon(HWND owner) {
    NOTIFYICONDATAW data;
    memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = TrayIconNumber;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

HWND FindWatcher(DWORD waitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND hwnd = FindWindowW(WatcherClass, WatcherTitle);
        if (hwnd || GetTickCount() - start >= waitMs)
            return hwnd;
        Sleep(50);
    }
}

std::string HandleText(const void* handle) {
    char text[32];
    snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(
                                            reinterpret_cast<uintptr_t>(handle)));
    return text;
}

int PrintState(DWORD waitMs) {
    HWND hwnd = FindWatcher(waitMs);
    if (!hwnd) {
        printf("{\"found\": false}\n");
        return ExitNotFound;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    std::string json = "{\"found\": true, \"hwnd\": " + HandleText(hwnd) +
                       ", \"pid\": " + std::to_string(pid);
    // Wine keeps the X window of every top-level window in this property; the tests read the
    // window icon from X, since another process's icon handle cannot be examined here.
    json += ", \"x11\": " + HandleText(GetPropA(hwnd, "__wine_x11_whole_window"));
    // Wine answers WM_GETICON from another process with 0, hence the X property above.
    DWORD_PTR icon = 0;
    bool iconOk = SendBounded(hwnd, WM_GETICON, ICON_SMALL, 0, &icon);
    json += ", \"small_icon\": " + (iconOk ? HandleText(reinterpret_cast<void*>(icon)) : "null");
    json += std::string(", \"topmost\": ") +
            ((GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) ? "true" : "false");
    RECT client;
    GetClientRect(hwnd, &client);
    json += ", \"client\": [" + std::to_string(client.right) + ", " +
            std::to_string(client.bottom) + "]";
    json += std::string(", \"tray\": ") + (TrayHasIcon(hwnd) ? "true" : "false");
    bool complete = true;
    json += ", \"labels\": {";
    for (int id : LabelIds) {
        std::string text;
        bool ok = ControlText(GetDlgItem(hwnd, id), &text);
        complete = complete && ok;
        json += (id == LabelIds[0] ? "" : ", ") + JsonString(std::to_string(id)) + ": " +
                (ok ? JsonString(text) : "null");
    }
    json += "}, \"rows\": ";
    std::vector<std::string> rows;
    if (ListRows(GetDlgItem(hwnd, ListBoxId), &rows)) {
        json += "[";
        for (size_t i = 0; i < rows.size(); i++)
            json += (i ? ", " : "") + JsonString(rows[i]);
        json += "]";
    } else {
        json += "null";
        complete = false;
    }
    printf("%s}\n", json.c_str());
    return complete ? 0 : ExitTimeout;
}

struct MouseAction {
    const char* name;
    UINT message;
};
constexpr MouseAction MouseActions[] = {
    {"down", WM_LBUTTONDOWN},    {"up", WM_LBUTTONUP},         {"dblclk", WM_LBUTTONDBLCLK},
    {"rdown", WM_RBUTTONDOWN},   {"rup", WM_RBUTTONUP},        {"rdblclk", WM_RBUTTONDBLCLK},
    {"move", WM_MOUSEMOVE},
};

// What the tray sends the window when the user acts on the icon: wParam names the icon.
int PostTray(const char* action) {
    for (const MouseAction& a : MouseActions) {
        if (strcmp(a.name, action) != 0)
            continue;
        HWND hwnd = FindWatcher(0);
        if (!hwnd)
            return ExitNotFound;
        BOOL ok = PostMessageW(hwnd, TrayCallbackMsg, TrayIconNumber, a.message);
        printf("{\"posted\": %s}\n", ok ? "true" : "false");
        return ok ? 0 : ExitNotFound;
    }
    return ExitBadUsage;
}

int PostClose() {
    HWND hwnd = FindWatcher(0);
    if (!hwnd)
        return ExitNotFound;
    printf("{\"hwnd\": %s}\n", HandleText(hwnd).c_str());
    return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : ExitNotFound;
}

int Ping() {
    HWND hwnd = FindWatcher(0);
    if (!hwnd)
        return ExitNotFound;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    DWORD_PTR result = 0;
    bool ok = SendBounded(hwnd, WM_NULL, 0, 0, &result);
    QueryPerformanceCounter(&after);
    double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                static_cast<double>(frequency.QuadPart);
    printf("{\"answered\": %s, \"ms\": %.1f}\n", ok ? "true" : "false", ms);
    return ok ? 0 : ExitTimeout;
}

int TrayIcon(const char* hwndText) {
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(hwndText, nullptr, 10)));
    printf("{\"tray\": %s}\n", TrayHasIcon(owner) ? "true" : "false");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return ExitBadUsage;
    const char* command = argv[1];
    int status = ExitBadUsage;
    if (strcmp(command, "state") == 0)
        status = PrintState(argc > 2 ? strtoul(argv[2], nullptr, 10) : 0);
    else if (strcmp(command, "tray") == 0 && argc > 2)
        status = PostTray(argv[2]);
    else if (strcmp(command, "close") == 0)
        status = PostClose();
    else if (strcmp(command, "ping") == 0)
        status = Ping();
    else if (strcmp(command, "trayicon") == 0 && argc > 2)
        status = TrayIcon(argv[2]);
    fflush(stdout);
    return status;
}
