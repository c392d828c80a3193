// placeholder replaced below
#include "platform/window_internal.h"
const PlatBackend* PlatBackendX11Open() { return nullptr; }
