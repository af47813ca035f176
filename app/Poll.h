#pragma once
#include <cstdint>

// The poll cycle: download the forum's index page, scan it and show what it holds.
uint32_t PollForum(int32_t argument);  // one poll cycle; argument ignored; returns 0
int32_t StartPoll();                   // starts a cycle unless one is running; returns 0
