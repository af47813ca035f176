// Looks at running watchers from outside, as a user's tools would, and prints one JSON object per
// call. Run under the watchers' Wine prefix and server. Every message sent to a watcher is bounded,
// so a hung watcher shows as "complete": false, never as a hung caller.
//
//   inspect windows                  every watcher window: hwnd and process id
//   inspect state [HWND]             the whole window at once: how long a sent message took to
//                                        come back, frame, controls in z-order (the order they
//                                        were made, the tab order) with their texts and rows,
//                                        tray icon 7, the foreground window; for a window that is
//                                        gone, whether its tray icon remains
//   inspect post MSG WPARAM LPARAM [HWND]   a tray click (12501, 7, WM_...), WM_CLOSE
//   inspect send MSG WPARAM LPARAM [HWND]   say LB_SETTOPINDEX or LB_SETCURSEL to the list
//   inspect boxes                    every message box: hwnd, process id, title, its controls' texts
// Without HWND the command goes to the first watcher window found. Numbers may be hex (0x...).
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT TrayIconNumber = 7;
constexpr int ListBoxId = 2;
constexpr UINT SendTimeoutMs = 2000;
constexpr int ExitFailed = 2;
constexpr int ExitBadUsage = 3;

// The watcher's title and class; UTF-16 here, so the lookup does not depend on the code page.
const wchar_t WatcherTitle[] =
    L"\u0441\u043b\u0435\u0434\u0438\u043c \u0437\u0430 "
    L"\u0444\u043e\u0440\u0443\u043c\u043e\u043c";
const wchar_t WatcherClass[] = L"WindowClass_0";

// A JSON string; anything beyond printable ASCII as \u escapes of its UTF-16 units.
std::string Quoted(const std::wstring& text) {
    std::string out = "\"";
    for (const wchar_t c : text) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out += c < 0x20 || c > 0x7e || c == '"' || c == '\\' ? escaped : std::string(1, char(c));
    }
    return out + "\"";
}

std::string Num(long long value) { return std::to_string(value); }

std::string Handle(const void* handle) { return Num(reinterpret_cast<intptr_t>(handle)); }

std::string Bits(HWND hwnd, int which) {
    return Num(static_cast<DWORD>(GetWindowLongW(hwnd, which)));
}

std::string Pair(LONG a, LONG b) { return "[" + Num(a) + ", " + Num(b) + "]"; }

std::string Rect(const RECT& r) {
    return "[" + Num(r.left) + ", " + Num(r.top) + ", " + Num(r.right) + ", " + Num(r.bottom) + "]";
}

// Unicode messages throughout: Wine hands another process's texts and rows over as UTF-16 even
// when the A function asks.
bool Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutW(hwnd, msg, wParam, lParam,
                                             SMTO_ABORTIFHUNG | SMTO_BLOCK, SendTimeoutMs, &answer);
    *result = static_cast<LRESULT>(answer);
    return sent != 0;
}

// A text fetched with a length message and a copy message; false when either goes unanswered.
bool Fetch(HWND hwnd, UINT lengthMsg, UINT copyMsg, WPARAM item, std::string* out) {
    LRESULT length = 0, copied = 0;
    if (!Send(hwnd, lengthMsg, item, 0, &length) || length < 0)
        return false;
    std::wstring text(length + 1, L'\0');
    const WPARAM size = copyMsg == WM_GETTEXT ? text.size() : item;
    if (!Send(hwnd, copyMsg, size, reinterpret_cast<LPARAM>(&text[0]), &copied) || copied < 0)
        return false;
    text.resize(copied);
    *out += Quoted(text);
    return true;
}

// Wine refuses WM_GETFONT from another process: the row height tells the list's font.
bool ListContents(HWND list, std::string* out) {
    LRESULT count = 0, top = 0, selected = 0, height = 0;
    if (!Send(list, LB_GETCOUNT, 0, 0, &count) || !Send(list, LB_GETTOPINDEX, 0, 0, &top) ||
        !Send(list, LB_GETCURSEL, 0, 0, &selected) || !Send(list, LB_GETITEMHEIGHT, 0, 0, &height))
        return false;
    *out += ", \"top\": " + Num(top) + ", \"selected\": " + Num(selected) +
            ", \"row_height\": " + Num(height) + ", \"rows\": [";
    for (LRESULT i = 0; i < count; i++) {
        *out += i ? ", " : "";
        if (!Fetch(list, LB_GETTEXTLEN, LB_GETTEXT, i, out))
            return false;
    }
    *out += "]";
    return true;
}

// False when the watcher did not answer in time.
bool DescribeControl(HWND control, std::string* out) {
    wchar_t className[64] = {};
    GetClassNameW(control, className, 64);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    const int id = GetDlgCtrlID(control);
    *out += "{\"hwnd\": " + Handle(control) + ", \"id\": " + Num(id) +
            ", \"class\": " + Quoted(className) + ", \"rect\": " + Rect(r) +
            ", \"style\": " + Bits(control, GWL_STYLE) +
            ", \"exstyle\": " + Bits(control, GWL_EXSTYLE) + ", \"text\": ";
    const size_t at = out->size();
    const bool complete = Fetch(control, WM_GETTEXTLENGTH, WM_GETTEXT, 0, out) &&
                          (id != ListBoxId || ListContents(control, out));
    if (!complete)
        out->replace(at, std::string::npos, "null");
    *out += "}";
    return complete;
}

// The height of a row in the GUI font, as a list box measures it.
int GuiFontHeight() {
    HDC dc = GetDC(nullptr);  // a common DC, reset as it is released
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

int PrintState(HWND hwnd) {
    // NIM_MODIFY with nothing to change succeeds exactly when the tray knows the icon.
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = hwnd;
    icon.uID = TrayIconNumber;
    const std::string tray = Shell_NotifyIconW(NIM_MODIFY, &icon) ? "true" : "false";
    if (!IsWindow(hwnd)) {
        printf("{\"found\": false, \"tray\": %s}\n", tray.c_str());
        return ExitFailed;
    }
    const DWORD sentAt = GetTickCount();
    LRESULT ignored = 0;
    bool complete = Send(hwnd, WM_NULL, 0, 0, &ignored);
    const long long answerMs = complete ? GetTickCount() - sentAt : -1;  // -1: no answer
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[128] = {};
    GetWindowTextW(hwnd, title, 128);
    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    // Wine keeps the X window of every top-level window in this property: the window icon can
    // be read from X, since another process's icon handle cannot be looked into here.
    std::string out = "{\"found\": true, \"answer_ms\": " + Num(answerMs) +
                      ", \"hwnd\": " + Handle(hwnd) + ", \"pid\": " + Num(pid) +
                      ", \"x11\": " + Handle(GetPropA(hwnd, "__wine_x11_whole_window")) +
                      ", \"title\": " + Quoted(title) + ", \"style\": " + Bits(hwnd, GWL_STYLE) +
                      ", \"exstyle\": " + Bits(hwnd, GWL_EXSTYLE) + ", \"rect\": " + Rect(outer) +
                      ", \"client\": " + Pair(client.right, client.bottom) + ", \"screen\": " +
                      Pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)) +
                      ", \"foreground\": " + Handle(GetForegroundWindow()) + ", \"tray\": " + tray +
                      ", \"gui_font_height\": " + Num(GuiFontHeight()) + ", \"controls\": [";
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        out += c == GetWindow(hwnd, GW_CHILD) ? "" : ", ";
        complete = DescribeControl(c, &out) && complete;
    }
    printf("%s], \"complete\": %s}\n", out.c_str(), complete ? "true" : "false");
    return complete ? 0 : ExitFailed;
}

BOOL CALLBACK ListWatcher(HWND hwnd, LPARAM context) {
    wchar_t className[64] = {}, title[64] = {};
    GetClassNameW(hwnd, className, 64);
    GetWindowTextW(hwnd, title, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    auto* out = reinterpret_cast<std::string*>(context);
    if (wcscmp(className, WatcherClass) == 0 && wcscmp(title, WatcherTitle) == 0)
        *out += (out->size() > 1 ? ", {\"hwnd\": " : "{\"hwnd\": ") + Handle(hwnd) +
                ", \"pid\": " + Num(pid) + "}";
    return TRUE;
}

// A message box is a dialog of the system's class "#32770"; its texts are its controls'.
BOOL CALLBACK ListMessageBox(HWND hwnd, LPARAM context) {
    wchar_t className[64] = {}, title[128] = {};
    GetClassNameW(hwnd, className, 64);
    if (wcscmp(className, L"#32770") != 0 || !IsWindowVisible(hwnd))
        return TRUE;
    GetWindowTextW(hwnd, title, 128);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    auto* out = reinterpret_cast<std::string*>(context);
    *out += (out->size() > 1 ? ", {\"hwnd\": " : "{\"hwnd\": ") + Handle(hwnd) +
            ", \"pid\": " + Num(pid) + ", \"title\": " + Quoted(title) + ", \"texts\": [";
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        *out += c == GetWindow(hwnd, GW_CHILD) ? "" : ", ";
        if (!Fetch(c, WM_GETTEXTLENGTH, WM_GETTEXT, 0, out))
            *out += "null";
    }
    *out += "]}";
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const int arguments = command == "post" || command == "send" ? 5 : 2;
    if (argc < arguments || argc > arguments + 1)
        return ExitBadUsage;
    const auto number = [&](int i) { return static_cast<uintptr_t>(strtoll(argv[i], nullptr, 0)); };
    HWND hwnd = argc > arguments ? reinterpret_cast<HWND>(number(arguments))
                                 : FindWindowW(WatcherClass, WatcherTitle);
    LRESULT result = 0;
    std::string out = "[";
    if (command == "windows" && EnumWindows(ListWatcher, reinterpret_cast<LPARAM>(&out)))
        printf("%s]\n", out.c_str());
    else if (command == "boxes" && EnumWindows(ListMessageBox, reinterpret_cast<LPARAM>(&out)))
        printf("%s]\n", out.c_str());
    else if (command == "state")
        return PrintState(hwnd);
    else if (command == "post" && PostMessageW(hwnd, number(2), number(3), number(4)))
        printf("{\"posted\": true}\n");
    else if (command == "send" && Send(hwnd, number(2), number(3), number(4), &result))
        printf("{\"result\": %s}\n", Num(result).c_str());
    else
        return command == "post" || command == "send" ? ExitFailed : ExitBadUsage;
    return 0;
}
