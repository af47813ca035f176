#pragma once
#include <windows.h>
#include <cstdint>

void TrayInit();
void ImageProbeAlpha();
bool TrayAlphaIconsSupported();
intptr_t TrayAdd(int32_t number, HWND window,
                 intptr_t image);  // non-zero (chosen number for -1) on success
int32_t TrayChange(int32_t number, intptr_t image);
void TrayRemove(int32_t number);
void TrayFreeAll();
