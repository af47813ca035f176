#include "toolkit/system/Run.h"

#include <windows.h>
#include <shellapi.h>

#include "toolkit/system/Heap.h"
#include "toolkit/system/RunCommandLine.h"

namespace {

// A private-heap block owned by one call.
class HeapBlock {
public:
    explicit HeapBlock(size_t size) : block_(static_cast<char*>(PrivateAlloc(size))) {}
    ~HeapBlock() { PrivateFree(block_); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    char* get() const { return block_; }

private:
    char* block_;
};

bool StartProgram(char* commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Documents and addresses go to their registered handler. A document's folder becomes the
// handler's working directory, so programs that look for files beside it find them.
bool OpenWithShell(const char* target) {
    const int32_t folderLength = RunWorkingDirectoryLength(target);
    HeapBlock folder(static_cast<size_t>(folderLength) + 1);
    if (folderLength > 0) {
        if (!folder.get())
            return false;
        memcpy(folder.get(), target, static_cast<size_t>(folderLength));
    }
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "";
    info.lpFile = target;
    info.lpParameters = "";
    info.lpDirectory = folderLength > 0 ? folder.get() : nullptr;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return false;
    // Empty when no new process was started, e.g. a running browser took the address over.
    if (info.hProcess)
        CloseHandle(info.hProcess);
    return true;
}

}  // namespace

int32_t RunExternal(const char* target) {
    if (!target || !target[0])
        return 0;
    HeapBlock commandLine(RunCommandLineSize(target));
    if (!commandLine.get())
        return 0;
    RunCommandLineBuild(target, commandLine.get());
    // Not being a program is no failure: addresses and documents fall through to the shell.
    if (StartProgram(commandLine.get()))
        return 1;
    return OpenWithShell(target) ? 1 : 0;
}
