// Writes down how it was started, for the launching tests: its command line, its working
// directory and the show mode it was asked for, one per line, into the file named by the
// environment variable RECORDER_OUT. The file appears whole (written aside, then renamed), so a
// test may read it as soon as it exists.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    char out[MAX_PATH];
    if (!GetEnvironmentVariableA("RECORDER_OUT", out, sizeof out))
        return 2;
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const unsigned show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 0xFFFF;

    const std::string aside = std::string(out) + ".part";
    FILE* file = fopen(aside.c_str(), "wb");
    if (!file)
        return 3;
    fprintf(file, "%s\n%s\n%u\n", GetCommandLineA(), folder, show);
    fclose(file);
    return MoveFileExA(aside.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
