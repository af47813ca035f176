#include "toolkit/system/Run.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "toolkit/system/Heap.h"

namespace {

constexpr DWORD WaitLimit = 20000;  // ms; a started Wine process may take a few seconds

// Built beside this test, which finds it next to itself.
std::string RecorderPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string self = path;
    return self.substr(0, self.find_last_of('\\') + 1) + "run_recorder.exe";
}

std::string CurrentFolder() {
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

struct Record {
    std::string commandLine;
    std::string folder;
    unsigned show = 0;
};

// Sets the default value of HKEY_CLASSES_ROOT\<key> for one test and puts things back
// afterwards, so the prefix the other tests share is left as it was. Wine 8 looks handlers up
// in HKEY_CLASSES_ROOT, which it keeps in HKLM\Software\Classes; it never consults the
// per-user HKCU\Software\Classes that Windows lets override it.
class ClassesValue {
public:
    ClassesValue(const std::string& key, const std::string& value) {
        top_ = key.substr(0, key.find('\\'));
        HKEY existing = nullptr;
        createdTop_ = RegOpenKeyExA(HKEY_CLASSES_ROOT, top_.c_str(), 0, KEY_READ,
                                    &existing) != ERROR_SUCCESS;
        if (existing)
            RegCloseKey(existing);
        RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        DWORD size = sizeof previous_;
        hadPrevious_ = RegQueryValueExA(key_, nullptr, nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(previous_), &size) == ERROR_SUCCESS;
        Set(value.c_str());
    }
    ~ClassesValue() {
        if (hadPrevious_)
            Set(previous_);
        RegCloseKey(key_);
        if (createdTop_)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, top_.c_str());
    }
    ClassesValue(const ClassesValue&) = delete;
    ClassesValue& operator=(const ClassesValue&) = delete;

private:
    void Set(const char* value) {
        RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(strlen(value) + 1));
    }
    std::string top_;
    bool createdTop_ = false;
    HKEY key_ = nullptr;
    char previous_[1024] = {};
    bool hadPrevious_ = false;
};

class RunExternalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        CoInitialize(nullptr);  // as the toolkit's start-up does on the main thread
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        temp_ = temp;
        out_ = temp_ + "run-record-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(out_.c_str());
        SetEnvironmentVariableA("RECORDER_OUT", out_.c_str());
    }
    void TearDown() override {
        DeleteFileA(out_.c_str());
        CoUninitialize();
        PrivateHeapDestroy();
    }
    // Waits for the recorder's whole record; false when none came in time. The file appears
    // by rename, yet under load Wine has let it be seen a moment before it could be read, so
    // an unreadable or short record is waited on like a missing one.
    bool WaitForRecord(Record* record) {
        const DWORD start = GetTickCount();
        for (;;) {
            if (GetFileAttributesA(out_.c_str()) != INVALID_FILE_ATTRIBUTES) {
                std::ifstream file(out_);
                Record read;
                if (std::getline(file, read.commandLine) && std::getline(file, read.folder) &&
                    file >> read.show) {
                    *record = read;
                    return true;
                }
            }
            if (GetTickCount() - start > WaitLimit)
                return false;
            Sleep(20);  // polling for a condition, bounded by WaitLimit
        }
    }
    std::string temp_, out_;
};

}  // namespace

TEST_F(RunExternalTest, StartsAProgramQuotedAndShownNormally) {
    EXPECT_EQ(RunExternal(""), 0) << "an empty target starts nothing";
    EXPECT_EQ(RunExternal(nullptr), 0);
    const std::string recorder = RecorderPath();
    ASSERT_EQ(RunExternal(recorder.c_str()), 1);
    Record record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.commandLine, "\"" + recorder + "\"");
    EXPECT_EQ(record.show, static_cast<unsigned>(SW_SHOWNORMAL));
    EXPECT_EQ(record.folder, CurrentFolder()) << "a program starts in the caller's folder";
}

// A document is no program: the shell opens it with its handler, in the document's folder.
TEST_F(RunExternalTest, OpensADocumentInItsOwnFolder) {
    const std::string folder = temp_ + "run-docs-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string document = folder + "note.fwrec";
    std::ofstream(document) << "text";
    {
        ClassesValue type(".fwrec", "ForumWatchTest.Recorder");
        ClassesValue open("ForumWatchTest.Recorder\\shell\\open\\command",
                          "\"" + RecorderPath() + "\" \"%1\"");
        ASSERT_EQ(RunExternal(document.c_str()), 1);
        Record record;
        ASSERT_TRUE(WaitForRecord(&record));
        EXPECT_NE(record.commandLine.find(document), std::string::npos) << record.commandLine;
        EXPECT_EQ(record.folder + "\\", folder);
    }
    DeleteFileA(document.c_str());
    RemoveDirectoryA(folder.c_str());
}

// What the browser gets: the handler registered for the address's scheme.
TEST_F(RunExternalTest, OpensAnAddressWithItsSchemeHandler) {
    const std::string address = "http://127.0.0.1:9/forum/";
    ClassesValue open("http\\shell\\open\\command", "\"" + RecorderPath() + "\" \"%1\"");
    ASSERT_EQ(RunExternal(address.c_str()), 1);
    Record record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_NE(record.commandLine.find(address), std::string::npos) << record.commandLine;
}
