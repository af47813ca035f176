#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Reads a fuzzer's input as a sequence of fields: little-endian numbers and zero-free texts.
struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
    int32_t Int() {
        uint32_t v = 0;
        for (int i = 0; i < 4 && pos < size; ++i)
            v |= static_cast<uint32_t>(data[pos++]) << (8 * i);
        return static_cast<int32_t>(v);
    }
    // A text up to the next zero byte (or the end); zero bytes cannot live inside a text.
    std::string Text() {
        std::string s;
        while (pos < size && data[pos] != 0)
            s.push_back(static_cast<char>(data[pos++]));
        pos += pos < size;  // the zero that ends it
        return s;
    }
};

// A property that must hold: abort so the fuzzer keeps the input. To stderr, which is unbuffered:
// a message left in stdout's buffer would die with the abort when the log is a file.
#define FUZZ_CHECK(cond)                                                                         \
    ((cond) ? (void)0                                                                            \
            : (std::fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__), \
               std::abort()))
