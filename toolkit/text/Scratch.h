#pragma once
#include <cstdint>

// The process-wide scratch area in which every string result is built. A position is a 0-based
// byte offset from the area's start, everywhere in this interface: `pos` of the operations,
// ScratchEnd, ScratchPosOf, ScratchAt, ScratchMark::Pos. A text-producing operation takes the
// position `pos` (the area's current end), writes its result there and leaves end = pos + length
// with a terminator at end; it returns the pointer at pos. Pointers into the area are valid only
// until the next reservation: hold positions across operations.
constexpr int32_t ScratchOutside = -1;  // ScratchPosOf of a pointer that is not in the area
void ScratchInit();
int32_t ScratchEnd();                            // where the next result starts
char* ScratchReserve(int32_t len, int32_t pos);  // room for len bytes at pos; end = pos + len
void ScratchRelease(int32_t n);                  // end -= n
char* ScratchEmptyAt(int32_t pos);               // end = pos, terminator at pos
// Closes a result of `length` bytes written into a reservation of `room` bytes at `out`: the
// surplus goes back and the terminator stands at the new end. Returns `out`.
char* ScratchFinish(char* out, int32_t length, int32_t room);
int32_t ScratchPosOf(const char* p);  // ScratchOutside when p does not point into the area
char* ScratchAt(int32_t pos);         // with today's base; null outside the area
// Hands a built expression at pos to an operation: end moves past its terminator and the
// pointer is formed only now, after every append. ScratchRewind(pos) ends the statement.
char* ScratchPass(int32_t pos);
void ScratchRewind(int32_t pos);  // end = pos, a terminator there again

// What one statement or function builds in the area, from the mark on: leaving scope rewinds the
// end to the mark, on every return path. Take Pass() in a statement of its own when another
// argument of the same call reads ScratchEnd(): the order of evaluating arguments is unspecified.
class ScratchMark {
public:
    ScratchMark() : pos_(ScratchEnd()) {}
    explicit ScratchMark(int32_t pos) : pos_(pos) {}  // over an expression begun at pos
    ~ScratchMark() { ScratchRewind(pos_); }
    ScratchMark(const ScratchMark&) = delete;
    ScratchMark& operator=(const ScratchMark&) = delete;
    int32_t Pos() const { return pos_; }
    char* Pass() const { return ScratchPass(pos_); }  // the text built from the mark, to hand on

private:
    const int32_t pos_;
};

// A text argument that may lie in the area, found again after a reservation has moved it: take
// it before reserving, Get() after.
class ScratchText {
public:
    explicit ScratchText(const char* text) : text_(text), pos_(ScratchPosOf(text)) {}
    const char* Get() const { return pos_ == ScratchOutside ? text_ : ScratchAt(pos_); }
    int32_t Pos() const { return pos_; }  // ScratchOutside for a text elsewhere

private:
    const char* text_;
    int32_t pos_;
};
