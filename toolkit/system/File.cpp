#include "toolkit/system/File.h"

#include <cstring>
#include <type_traits>

#include "toolkit/system/FileSys.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"

constexpr int32_t FileTableStep = 16;  // slots at first, and slots added beyond a new number
constexpr int32_t LineStep = 4096;     // a line's reservation grows by this much
constexpr int32_t TempPathRoom = 260;  // the classic path limit, terminator included
constexpr int NoByte = -1;

struct FileRecord {
    // Kernel handles carry their meaning in the low 32 bits, which the registry reads to tell
    // an open file from a free slot.
    intptr_t handle;
    uint8_t* buffer;    // FileBufferSize bytes from the private heap
    int32_t available;  // read from the file but not yet delivered
    int32_t fill;       // bytes the last refill brought; the next byte is at fill - available
};
static_assert(std::is_trivially_copyable<FileRecord>::value,
              "slots are zero-filled and move when the table grows");

static ObjectTable* fileTable;

static FileRecord* FileOf(int32_t number) {
    return static_cast<FileRecord*>(ObjectTableGet(fileTable, number));
}

// Reads the next bufferful; false at the end of the data, and a failed read ends the data too.
static bool FileRefill(FileRecord* file) {
    file->fill = FileSysRead(file->handle, file->buffer, FileBufferSize);
    file->available = file->fill;
    return file->fill > 0;
}

// The next byte, or NoByte at the end of the data.
static int FileFetchByte(FileRecord* file) {
    if (file->available == 0 && !FileRefill(file))
        return NoByte;
    return file->buffer[file->fill - file->available--];
}

// Only for the byte just delivered, which is still in the buffer right before the next one.
static void FilePutBack(FileRecord* file) { ++file->available; }

void FileInit() {
    if (!fileTable)
        fileTable = ObjectTableCreate(sizeof(FileRecord), FileTableStep, FileClose);
}

void FileCloseAll() { ObjectTableReleaseAll(fileTable); }

static void Forget(int32_t number, int32_t chosen) {
    if (number == AutoNumber)
        ObjectTableRemove(fileTable, chosen);
}

intptr_t FileOpenRead(int32_t number, const char* path) {
    int32_t chosen = 0;
    // The claim closes a file already open under the number, so a failure below leaves it free.
    auto* file = static_cast<FileRecord*>(ObjectTableClaim(fileTable, number, &chosen));
    if (!file)
        return 0;
    const intptr_t handle = FileSysOpenRead(path);
    if (!handle) {
        Forget(number, chosen);
        return 0;
    }
    auto* buffer = static_cast<uint8_t*>(PrivateAllocRaw(FileBufferSize));
    if (!buffer) {
        FileSysClose(handle);
        Forget(number, chosen);
        return 0;
    }
    file->buffer = buffer;
    file->available = 0;
    file->fill = 0;
    file->handle = handle;  // last: until now the record counts as free
    return number == AutoNumber ? chosen : handle;
}

int32_t FileAtEnd(int32_t number) {
    FileRecord* file = FileOf(number);
    if (!file)
        return 0;
    if (FileFetchByte(file) == NoByte)
        return 1;
    FilePutBack(file);
    return 0;
}

// How much a full line reservation grows by: whole steps of LineStep, but at least doubling.
// Each growth may copy everything read so far, so growing by one step at a time would make a
// line of a few megabytes cost minutes of copying.
static int32_t GrowthFor(int32_t room) {
    const int64_t more = room < LineStep ? LineStep : room;
    return static_cast<int64_t>(room) + more > INT32_MAX - LineStep ? 0
                                                                    : static_cast<int32_t>(more);
}

// Consumes the ending after a CR: LF belongs to it, any other byte starts the next line.
static void SkipLineFeed(FileRecord* file) {
    const int next = FileFetchByte(file);
    if (next != NoByte && next != '\n')
        FilePutBack(file);
}

// How many of `count` bytes come before a line's end (LF, CR or NUL).
static int32_t BytesBeforeLineEnd(const uint8_t* bytes, int32_t count) {
    int32_t n = 0;
    while (n < count && bytes[n] != '\n' && bytes[n] != '\r' && bytes[n] != '\0')
        ++n;
    return n;
}

// The bytes before the line's end are found in the buffer and copied together.
char* FileReadLine(int32_t number, int32_t pos) {
    int32_t room = LineStep;
    char* out = ScratchReserve(room, pos);
    if (!out)
        return ScratchEmptyAt(pos);
    FileRecord* file = FileOf(number);
    if (!file)
        return ScratchFinish(out, 0, room);
    int32_t length = 0;
    bool full = false;  // memory ran out: the rest of the line is consumed, not stored
    while (file->available > 0 || FileRefill(file)) {
        const uint8_t* next = file->buffer + (file->fill - file->available);
        const int32_t run = BytesBeforeLineEnd(next, file->available);
        for (int32_t copied = 0; !full && copied < run;) {
            const int32_t n = run - copied < room - length ? run - copied : room - length;
            memcpy(out + length, next + copied, static_cast<size_t>(n));
            length += n;
            copied += n;
            if (length < room)
                continue;
            const int32_t more = GrowthFor(room);
            char* grown = more ? ScratchReserve(room + more, pos) : nullptr;
            if (grown) {
                room += more;
                out = grown;
            } else {
                // Keep a byte for the terminator inside what we hold.
                --length;
                full = true;
            }
        }
        file->available -= run;
        if (file->available == 0)
            continue;  // the line goes on in the next bufferful
        const uint8_t end = next[run];
        --file->available;
        if (end == '\r')
            SkipLineFeed(file);
        break;
    }
    return ScratchFinish(out, length, room);
}

// The automatic number itself names no record, so closing -1 finds nothing to close.
void FileClose(int32_t number) {
    FileRecord* file = FileOf(number);
    if (!file)
        return;
    PrivateFree(file->buffer);
    FileSysClose(file->handle);
    ObjectTableRemove(fileTable, number);
}

// A path that needs the whole reservation or more cannot be terminated inside it, so it is
// reported as failure (the empty text) rather than cut short into a different directory.
char* TempDirectory(int32_t pos) {
    char* out = ScratchReserve(TempPathRoom, pos);
    if (!out)
        return ScratchEmptyAt(pos);
    int32_t length = FileSysTempPath(out, TempPathRoom);
    if (length <= 0 || length >= TempPathRoom)
        length = 0;
    return ScratchFinish(out, length, TempPathRoom);
}
