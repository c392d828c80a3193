// Window classes and procedures, messages, the dialog manager, timers, mouse input and
// capture, focus, cursors and layered windows.
#pragma once

#include "platform/win32_types.h"
