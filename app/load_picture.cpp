// Picture loading: one PNG raw-data resource of the program becomes a DIB section, through
// the whole life of a PngDecoder in one call. The decoder's error code is not looked at: a
// picture that cannot be made is simply none, and the caller shows what that means.
#include "app/app.h"
#include "png/png.h"

HBITMAP AppLoadPicture(UINT pictureId) {
  PngDecoder decoder;
  PngInit(&decoder);
  HBITMAP picture = nullptr;
  if (PngLoadResource(&decoder, appState.instance, MAKEINTRESOURCEA(pictureId)) && PngDecode(&decoder))
    picture = PngCreateBitmap(&decoder, appState.mainWindow);
  PngCleanup(&decoder);
  return picture;
}
