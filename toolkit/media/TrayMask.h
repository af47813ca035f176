#pragma once
#include <windows.h>

// The AND mask of the icon the tray builds from a bitmap image (the caller deletes it; null
// when it cannot be made). On a desktop that cannot draw alpha, a 32-bit bitmap's zero-alpha
// pixels become see-through; otherwise the mask is opaque everywhere.
HBITMAP TrayMakeMask(HBITMAP bitmap, bool alphaDrawn);
