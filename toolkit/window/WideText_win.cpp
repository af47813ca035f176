#include "toolkit/window/WideText.h"

#include <windows.h>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

constexpr UINT TextCodePage = 1251;

// Sized by the system rather than a fixed buffer: a list row can be megabytes long.
WideText::WideText(const char* text) : wide(nullptr) {
    if (!text)
        text = "";
    const int units = MultiByteToWideChar(TextCodePage, 0, text, -1, nullptr, 0);
    if (units <= 0)
        return;
    wide = static_cast<wchar_t*>(PrivateAllocRaw(sizeof(wchar_t) * static_cast<size_t>(units)));
    if (wide && MultiByteToWideChar(TextCodePage, 0, text, -1, wide, units) != units) {
        PrivateFree(wide);
        wide = nullptr;
    }
}

WideText::~WideText() { PrivateFree(wide); }

char* TextFromWide(const wchar_t* wide, int32_t length, int32_t pos) {
    if (!wide || length <= 0)
        return ScratchEmptyAt(pos);
    const int bytes =
        WideCharToMultiByte(TextCodePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    char* out = bytes > 0 ? ScratchReserve(bytes, pos) : nullptr;
    if (!out)
        return ScratchEmptyAt(pos);
    const int got =
        WideCharToMultiByte(TextCodePage, 0, wide, length, out, bytes, nullptr, nullptr);
    return ScratchFinish(out, got > 0 ? got : 0, bytes);
}
