// Stands in for the browser: the e2e tests register it as the handler of http addresses and read
// back, from the file named by E2E_RECORD_FILE, the command lines it was started with.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("E2E_RECORD_FILE", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 1;
    const wchar_t* line = GetCommandLineW();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return 1;
    char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!text)
        return 1;
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text, bytes, nullptr, nullptr);
    FILE* out = fopen(path, "ab");
    if (!out)
        return 1;
    fprintf(out, "%s\n", text);
    fclose(out);
    return 0;
}
