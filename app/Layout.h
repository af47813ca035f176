#pragma once
#include <cstdint>

// The watcher's window: a client area of 200 x 300 with, from the top, the status line, the list
// of users and the total and counter labels. The controls are placed from the client size the
// window really got, which is what was asked whatever the desktop's frame.
constexpr int32_t ClientWidth = 200;
constexpr int32_t ClientHeight = 300;
constexpr int32_t Margin = 5;
constexpr int32_t StatusHeight = 20;
constexpr int32_t LabelWidth = 190;
constexpr int32_t LabelHeight = 17;
constexpr int32_t TotalFromBottom = 45;
constexpr int32_t CounterFromBottom = 25;
constexpr int32_t ListTop = 25;
constexpr int32_t ListSpareHeight = 80;  // the status line above, the two labels below
