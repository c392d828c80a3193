// Window classes and procedures, messages, the dialog manager, timers, mouse input and
// capture, focus, cursors and layered windows.
#pragma once

#include "platform/win32_types.h"

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
