#pragma once
#include <cstdint>

// Every toolkit area up and down, in their fixed orders. The private heap must exist first.
void ToolkitStartUp();
void ToolkitShutDown();
// Runs shut-down step `step` (0 first) alone; false when there is no such step. ToolkitShutDown
// is every step in order; run one at a time, they show what each step has let go.
bool ToolkitShutDownStep(int32_t step);
