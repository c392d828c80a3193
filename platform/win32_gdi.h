// The small GDI the program uses: device contexts, brushes, frames and DIB sections.
// Bitmaps are device-independent bitmaps (DIB sections) of 1, 4, 8, 24 or 32 bits per
// pixel, top-down (negative height) or bottom-up, rows padded to 4 bytes, colours in
// blue, green, red order.
#pragma once

#include "platform/win32_types.h"

#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1
#define OBJ_BRUSH 2
#define OBJ_BITMAP 7

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagBITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
} BITMAP;

// What GetObjectA gives for a DIB section when the buffer has room for it.
typedef struct tagDIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
} DIBSECTION;

// A device context of a window (or of the screen, for a null window). Bitmaps can be made
// with any of them: the context only names where the bitmap is meant to be shown.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// The pixel memory belongs to the bitmap, starts zeroed and lives until DeleteObject.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
BOOL DeleteObject(HGDIOBJ object);
// For a bitmap: fills a BITMAP, or a DIBSECTION when size allows; with a null buffer it
// returns the size it would write. 0 for an unknown object or a buffer too small.
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

// Painting a window: BeginPaint sends WM_ERASEBKGND when the background needs erasing and
// validates the window; EndPaint gives the context back.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

HBRUSH CreateSolidBrush(COLORREF color);
// The brush keeps its own copy of the bitmap: the bitmap may be deleted before the brush.
// It tiles from the origin of the client area it paints.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH GetSysColorBrush(int index);
DWORD GetSysColor(int index);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// A frame one pixel wide along the inside of the rectangle.
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
