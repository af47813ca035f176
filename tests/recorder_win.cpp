// Stands in for the browser in the end-to-end test: every start appends one line to the file
// named by RECORDER_OUT, its command line, working directory and show mode separated by tabs, in
// UTF-8. One write per line, so a reader never sees half a line.
#include <windows.h>

#include <cstdio>
#include <string>

static std::string Utf8(const wchar_t* text) {
    char out[4 * 32768] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

int main() {
    wchar_t out[MAX_PATH], folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"RECORDER_OUT", out, MAX_PATH))
        return 2;
    GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup = {};
    GetStartupInfoW(&startup);
    const unsigned show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 0xFFFF;
    const std::string line =
        Utf8(GetCommandLineW()) + "\t" + Utf8(folder) + "\t" + std::to_string(show) + "\n";
    FILE* file = _wfopen(out, L"ab");
    if (!file)
        return 3;
    const bool written = fwrite(line.data(), 1, line.size(), file) == line.size();
    return fclose(file) == 0 && written ? 0 : 4;
}
