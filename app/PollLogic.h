#pragma once
#include <cstdint>

// The decisions of one poll cycle and the texts it shows, apart from the window and the
// network so that they run (and are tested) anywhere.

constexpr int32_t ToneMoreUsers = 980;     // Hz: someone came on-line
constexpr int32_t ToneFewerUsers = 400;    // Hz: someone left
constexpr int32_t ToneMilliseconds = 1000;

int32_t PollToneFor(int32_t lastUserCount, int32_t count);      // Hz; 0 = no tone
// The total changed since a total was last seen; the very first total (an empty last total)
// only sets the baseline.
bool PollTotalAlerts(const char* lastTotal, const char* total);

// Texts built at `pos` in the scratch area, leaving end = pos + length (ready for ScratchPass).
// `total` and `siteRoot` must lie outside the area.
char* PollIndexAddress(const char* siteRoot, int32_t pos);
char* PollTotalText(const char* total, int32_t pos);            // label 3
char* PollCounterText(int32_t newCount, int32_t pos);           // label 4
char* PollStampText(int32_t date, int32_t pos);                 // label 1
