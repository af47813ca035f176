#pragma once
#include <windows.h>
#include <cstdint>

void TrayInit();
void ImageProbeAlpha();
bool TrayAlphaIconsSupported();
intptr_t TrayAdd(int32_t number, HWND window,
                 intptr_t image);  // non-zero (chosen number for -1) on success
// An icon the shell refused (TrayAdd gave 0 for a number other than -1) is kept with its image
// and window, not shown, until TrayRetryFailed or TrayAddAgain shows it; TrayChange on it
// gives 0 and keeps the image for that add.
int32_t TrayChange(int32_t number, intptr_t image);
void TrayRemove(int32_t number);
void TrayAddAgain();  // the taskbar was re-created: adds every icon again, with its current image
void TrayRetryFailed();  // adds the icons whose add has failed so far; cheap when there are none
void TrayFreeAll();
