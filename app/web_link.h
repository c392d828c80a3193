// The web link: opens the lab's web site in a browser chosen from those registered.
#pragma once

#include "platform/win32.h"

// The lab's web site: scheme and host only.
#define APP_SITE_ADDRESS "http://orvenne-labs.example"

// Opens the site with Firefox when its registry key exists, else Chrome, else Internet
// Explorer; `window` is the owner handed to the shell. No result.
void AppOpenWebLink(HWND window);
