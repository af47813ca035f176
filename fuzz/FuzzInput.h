#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// Hands the page fuzzer's input to the memory file seam.
void FuzzSetFile(const uint8_t* data, size_t size);

// Reads a fuzzer's input as a sequence of fields: little numbers and zero-free texts.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int32_t Int() {
        uint32_t v = 0;
        for (int i = 0; i < 4 && pos_ < size_; ++i)
            v |= static_cast<uint32_t>(data_[pos_++]) << (8 * i);
        return static_cast<int32_t>(v);
    }
    // A text up to the next zero byte (or the end); zero bytes cannot live inside a text.
    std::string Text() {
        std::string s;
        while (pos_ < size_ && data_[pos_] != 0)
            s.push_back(static_cast<char>(data_[pos_++]));
        if (pos_ < size_)
            ++pos_;
        return s;
    }
    bool Empty() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A property that must hold: abort so the fuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                         \
    do {                                                                         \
        if (!(cond)) {                                                           \
            __builtin_printf("property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                        \
        }                                                                        \
    } while (0)
