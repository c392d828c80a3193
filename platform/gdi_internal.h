// The GDI objects' records, shared by the files of the window system that draw with them
// (painting, the STATIC control, composition). Nothing outside platform/ includes this.
#pragma once

#include <memory>
#include <vector>

#include "platform/handle_table.h"
#include "platform/win32_gdi.h"

enum PlatGdiType : DWORD {
  PLAT_GDI_BITMAP = OBJ_BITMAP,
  PLAT_GDI_BRUSH = OBJ_BRUSH,
};

// A DIB section. Rows are `stride` bytes apart in `pixels`; row 0 in memory is the top row
// when `topDown`, the bottom row otherwise.
struct PlatBitmap {
  LONG width;
  LONG height;  // always positive
  WORD bitCount;
  bool topDown;
  LONG stride;
  BITMAPINFOHEADER header;  // as given at creation, for GetObjectA
  RGBQUAD colors[256];      // 2^bitCount entries for 1, 4 and 8 bits; unused entries black
  std::unique_ptr<BYTE[]> pixels;
};

// A brush. A pattern brush keeps its own copy of the bitmap's colours (0x00RRGGBB, rows
// top to bottom), so the bitmap may be deleted while the brush lives on.
struct PlatBrush {
  bool pattern;
  COLORREF color;
  LONG width;
  LONG height;
  std::vector<DWORD> tile;
};

struct PlatGdiObject {
  PlatGdiType type;
  PlatBitmap bitmap;
  PlatBrush brush;
};

// A device context: where drawing lands. A window DC draws on that window's client area; the
// screen DC (null window) draws nowhere.
struct PlatDc {
  DWORD window;  // handle number, 0 for the screen
  bool paint;    // made by BeginPaint, ended by EndPaint
};

PlatHandleTable<PlatGdiObject>& PlatGdiObjects();
PlatHandleTable<PlatDc>& PlatDcs();

PlatGdiObject* PlatGdiGet(HGDIOBJ object, PlatGdiType type);
PlatDc* PlatDcGet(HDC dc);
HDC PlatDcCreate(DWORD window, bool paint);
BOOL PlatDcDelete(HDC dc);

// The colour of pixel (x, y), y counted from the top row, as 0x00RRGGBB.
DWORD PlatBitmapPixel(const PlatBitmap& bitmap, LONG x, LONG y);
