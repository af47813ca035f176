// Looks at running watchers from outside, as a user's tools would, and prints one JSON object per
// call. Run under the watchers' Wine prefix and server. Every message sent to a watcher is bounded,
// so a hung watcher shows as "complete": false, never as a hung caller. Every call prints its
// JSON, a failed one too, and flushes it before it ends; a call that cannot do its work also
// says why on stderr. Output that is empty therefore means the program never ran to its end.
//
//   inspect windows                  every watcher window: hwnd and process id
//   inspect state [HWND]             the whole window at once: how long a sent message took to
//                                        come back, frame, controls in z-order (the order they
//                                        were made, the tab order) with their texts and rows,
//                                        the watcher's tray icon, the foreground window, the
//                                        modal loop its thread is in; for a window that is gone,
//                                        whether its tray icon remains
//   inspect post MSG WPARAM LPARAM [HWND]   a tray click (TrayCallbackMsg, the icon, WM_...),
//                                        WM_CLOSE, WM_SYSCOMMAND
//   inspect send MSG WPARAM LPARAM [HWND]   say LB_SETTOPINDEX or LB_SETCURSEL to the list
//   inspect boxes                    every message box: hwnd, process id, title, its controls' texts
//   inspect untray [HWND]            removes the watcher's tray icon, as a taskbar that ends does
//   inspect taskbar-created [HWND]   says "TaskbarCreated" to every top-level window (to HWND
//                                        alone when given), as a new taskbar does
// Without HWND the command goes to the first watcher window found. Numbers may be hex (0x...).
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Texts.h"
#include "app/Watcher.h"
#include "toolkit/window/Win.h"

namespace {

constexpr UINT SendTimeoutMs = 2000;
constexpr int ExitFailed = 2;
constexpr int ExitBadUsage = 3;
constexpr int ExitNoOutput = 4;
constexpr UINT WindowsCodePage = 1251;

// The watcher's title and class in UTF-16, so the lookup does not depend on this process's code
// page: the title is the product's Windows-1251 text, the class the toolkit's name for window 0.
std::wstring WatcherTitle() {
    wchar_t title[64] = {};
    MultiByteToWideChar(WindowsCodePage, 0, TitleText, -1, title, 64);
    return title;
}

std::wstring WatcherClass() {
    char name[32] = {};
    snprintf(name, sizeof name, WinClassNameFormat, static_cast<int>(WatcherWindow));
    return std::wstring(name, name + strlen(name));
}

// Prints one line of JSON and makes sure it left the process: stdout is a file here, buffered
// until exit, and a Wine process that dies on its way out would otherwise take the line along.
int Emit(const std::string& json, int exitCode) {
    if (fputs((json + "\n").c_str(), stdout) < 0 || fflush(stdout) != 0) {
        fprintf(stderr, "inspect: the output could not be written\n");
        return ExitNoOutput;
    }
    return exitCode;
}

int Fail(const std::string& json, const char* why) {
    fprintf(stderr, "inspect: %s (error %lu)\n", why, GetLastError());
    return Emit(json, ExitFailed);
}

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
                          (id != UserList || ListContents(control, out));
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

NOTIFYICONDATAW TrayIcon(HWND hwnd) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = hwnd;
    icon.uID = WatcherTray;
    return icon;
}

// The modal loop the window's thread is in, by the flags Windows keeps for it: "menu" while a
// menu is tracked (GUI_INMENUMODE), "move" while the frame is moved or sized, "" otherwise.
std::string ModalLoop(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(thread, &info))
        return "\"\"";
    return info.flags & GUI_INMENUMODE ? "\"menu\"" : info.flags & GUI_INMOVESIZE ? "\"move\"" : "\"\"";
}

int PrintState(HWND hwnd) {
    // NIM_MODIFY with nothing to change succeeds exactly when the tray knows the icon.
    NOTIFYICONDATAW icon = TrayIcon(hwnd);
    const std::string tray = Shell_NotifyIconW(NIM_MODIFY, &icon) ? "true" : "false";
    if (!IsWindow(hwnd))
        return Emit("{\"found\": false, \"tray\": " + tray + "}", ExitFailed);
    const DWORD sentAt = GetTickCount();
    LRESULT ignored = 0;
    bool complete = Send(hwnd, WM_NULL, 0, 0, &ignored);
    // -1: no answer. (The tick difference is unsigned: widened first, or -1 would wrap too.)
    const long long answerMs = complete ? static_cast<long long>(GetTickCount() - sentAt) : -1;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
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
                      ", \"modal\": " + ModalLoop(thread) +
                      ", \"gui_font_height\": " + Num(GuiFontHeight()) + ", \"controls\": [";
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        out += c == GetWindow(hwnd, GW_CHILD) ? "" : ", ";
        complete = DescribeControl(c, &out) && complete;
    }
    out += std::string("], \"complete\": ") + (complete ? "true" : "false") + "}";
    return complete ? Emit(out, 0) : Fail(out, "the window did not answer in time");
}

struct WatcherList {
    std::wstring className, title;
    std::string json;
};

BOOL CALLBACK ListWatcher(HWND hwnd, LPARAM context) {
    auto* list = reinterpret_cast<WatcherList*>(context);
    wchar_t className[64] = {}, title[64] = {};
    GetClassNameW(hwnd, className, 64);
    GetWindowTextW(hwnd, title, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (list->className == className && list->title == title)
        list->json += (list->json.size() > 1 ? ", {\"hwnd\": " : "{\"hwnd\": ") + Handle(hwnd) +
                      ", \"pid\": " + Num(pid) + "}";
    return TRUE;
}

int ListWatchers() {
    WatcherList list = {WatcherClass(), WatcherTitle(), "["};
    if (!EnumWindows(ListWatcher, reinterpret_cast<LPARAM>(&list)))
        return Fail("[]", "the windows could not be listed");
    return Emit(list.json + "]", 0);
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

int ListMessageBoxes() {
    std::string out = "[";
    if (!EnumWindows(ListMessageBox, reinterpret_cast<LPARAM>(&out)))
        return Fail("[]", "the windows could not be listed");
    return Emit(out + "]", 0);
}

// The taskbar going away takes every icon with it; the icon's owner learns of that only when a
// new taskbar announces itself.
int Untray(HWND hwnd) {
    NOTIFYICONDATAW icon = TrayIcon(hwnd);
    return Shell_NotifyIconW(NIM_DELETE, &icon) ? Emit("{\"removed\": true}", 0)
                                               : Fail("{\"removed\": false}", "no such tray icon");
}

int AnnounceTaskbar(HWND hwnd) {
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    const bool told = message && (hwnd ? PostMessageW(hwnd, message, 0, 0)
                                       : SendNotifyMessageW(HWND_BROADCAST, message, 0, 0));
    const std::string json = "{\"announced\": " + std::string(told ? "true" : "false") +
                             ", \"message\": " + Num(message) + "}";
    return told ? Emit(json, 0) : Fail(json, "TaskbarCreated could not be sent");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const bool message = command == "post" || command == "send";
    const int arguments = message ? 5 : 2;
    if (argc < arguments || argc > arguments + 1) {
        fprintf(stderr, "inspect: usage: windows | boxes | state [HWND] | post|send MSG WPARAM "
                        "LPARAM [HWND] | untray [HWND] | taskbar-created [HWND]\n");
        return ExitBadUsage;
    }
    const auto number = [&](int i) { return static_cast<uintptr_t>(strtoll(argv[i], nullptr, 0)); };
    const bool given = argc > arguments;
    HWND hwnd = given ? reinterpret_cast<HWND>(number(arguments))
                      : FindWindowW(WatcherClass().c_str(), WatcherTitle().c_str());
    LRESULT result = 0;
    if (command == "windows")
        return ListWatchers();
    if (command == "boxes")
        return ListMessageBoxes();
    if (command == "state")
        return PrintState(hwnd);
    if (command == "post")
        return PostMessageW(hwnd, number(2), number(3), number(4))
                   ? Emit("{\"posted\": true}", 0)
                   : Fail("{\"posted\": false}", "the message could not be posted");
    if (command == "send")
        return Send(hwnd, number(2), number(3), number(4), &result)
                   ? Emit("{\"result\": " + Num(result) + "}", 0)
                   : Fail("{\"result\": null}", "the message was not answered in time");
    if (command == "untray")
        return Untray(hwnd);
    if (command == "taskbar-created")
        return AnnounceTaskbar(given ? hwnd : nullptr);
    fprintf(stderr, "inspect: unknown command %s\n", command.c_str());
    return ExitBadUsage;
}
