// Read-only registry key probes and shell execution.
#pragma once

#include "platform/win32_types.h"
