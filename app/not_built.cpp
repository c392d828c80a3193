// Stand-ins for operations whose own issues have not landed yet; each gives none.
#include "app/app.h"

// Not built yet: the skin picture loader (PNG resource to DIB section).
HBITMAP AppLoadPicture(UINT) { return nullptr; }
// Not built yet: the picture button control.
HWND AppCreateButton(HWND, int, int, UINT, UINT, UINT, UINT) { return nullptr; }
