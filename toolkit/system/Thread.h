#pragma once
#include <cstdint>

using ThreadProc = uint32_t (*)(int32_t argument);
void ThreadInit();
int32_t ThreadStart(ThreadProc entry, int32_t argument);  // thread number from 1; 0 on failure
void ThreadCloseAll();
int32_t ThreadHeldCount();  // handles still kept (ended or not)
