// Controls of our own over the window system, for tests: counts of live GDI objects and
// device contexts, and (with the headless backend selected) a virtual clock, injected mouse
// input and read-back of what the desktop would show. The program itself never calls them.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// ---- GDI -------------------------------------------------------------------------------
// Bitmaps and brushes made and not yet deleted.
size_t PlatGdiLiveObjects(void);
// Device contexts from GetDC or BeginPaint not yet released.
size_t PlatLiveDCs(void);
