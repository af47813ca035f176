#pragma once
#include <cstdint>

// The process-wide scratch area in which every string result is built. A text-producing
// operation takes the position `pos` (the area's current end), writes its result there and
// leaves end = pos + length with a terminator at end; it returns base + pos. Pointers into the
// area are valid only until the next reservation: hold offsets across operations.
void ScratchInit();
int32_t ScratchEnd();                            // where the next result starts
char* ScratchReserve(int32_t len, int32_t pos);  // room for len bytes at pos; end = pos + len
void ScratchRelease(int32_t n);                  // end -= n
char* ScratchEmptyAt(int32_t pos);               // end = pos, terminator at pos
// Closes a result of `length` bytes written into a reservation of `room` bytes at `out`: the
// surplus goes back and the terminator stands at the new end. Returns `out`.
char* ScratchFinish(char* out, int32_t length, int32_t room);
int32_t ScratchOffsetOf(const char* p);  // 1-based offset, 0 when outside the area
char* ScratchPointerAt(int32_t offset);  // from ScratchOffsetOf, with today's base
// Hands a built expression at pos to an operation: end moves past its terminator and the
// pointer is formed only now, after every append. ScratchRewind(pos) ends the statement.
char* ScratchPass(int32_t pos);
void ScratchRewind(int32_t pos);
