// The small GDI the program uses: device contexts, brushes, frames and DIB sections.
#pragma once

#include "platform/win32_types.h"
