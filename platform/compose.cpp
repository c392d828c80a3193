// Composition: each top-level window has a surface of 32-bit pixels (0x00RRGGBB, rows top
// to bottom, the size of its client area) that the backend shows. Painting a window is
// drawing on its top-level's surface through a device context whose origin is the window's
// client origin and whose clip is the window's rectangle within its ancestors.
//
// A window tree repaints as a whole: when any window in it needs painting, the top-level
// window and then every child, bottom to top, get WM_PAINT, so children always end up over
// their parent. The loop does this when it has no posted message or input left.
#include <algorithm>

#include "platform/window_internal.h"

namespace {

RECT PlatIntersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool PlatTreeNeedsPaint(const PlatWindow& window) {
  if (window.needsPaint) return true;
  for (DWORD child : window.children)
    if (PlatWindow* c = PlatWindowGetNumber(child); c && PlatTreeNeedsPaint(*c)) return true;
  return false;
}

void PlatPaintTree(DWORD number) {
  PlatWindow* window = PlatWindowGetNumber(number);
  if (!window || !(window->style & WS_VISIBLE)) return;
  if (window->needsPaint) {
    PlatCallProc(*window, WM_PAINT, 0, 0);
    // A procedure that never validates would be asked forever; it had its chance.
    if ((window = PlatWindowGetNumber(number))) window->needsPaint = window->needsErase = false;
  }
  if (!window) return;
  std::vector<DWORD> children = window->children;
  for (DWORD child : children) PlatPaintTree(child);
}

// Paints one pixel span of a brush; x and y are coordinates of the DC (brush origin 0, 0).
void PlatBrushSpan(const PlatDrawTarget& t, const PlatBrush& brush, LONG dcY, LONG dcX0, LONG dcX1) {
  LONG sy = dcY + t.origin.y;
  DWORD* row = t.pixels + (size_t)sy * t.surfaceWidth;
  if (!brush.pattern) {
    DWORD rgb = (DWORD)GetRValue(brush.color) << 16 | (DWORD)GetGValue(brush.color) << 8 | GetBValue(brush.color);
    std::fill(row + dcX0 + t.origin.x, row + dcX1 + t.origin.x, rgb);
    return;
  }
  LONG ty = ((dcY % brush.height) + brush.height) % brush.height;
  const DWORD* tile = brush.tile.data() + (size_t)ty * brush.width;
  for (LONG x = dcX0; x < dcX1; ++x) row[x + t.origin.x] = tile[((x % brush.width) + brush.width) % brush.width];
}

// The brush a handle names: a brush object, or a system colour given as index + 1.
bool PlatBrushResolve(HBRUSH handle, PlatBrush* scratch, const PlatBrush** brush) {
  UINT_PTR value = (UINT_PTR)handle;
  if (value >= 1 && value <= 31) {
    scratch->pattern = false;
    scratch->color = GetSysColor((int)value - 1);
    *brush = scratch;
    return true;
  }
  PlatGdiObject* object = PlatGdiGet(handle, PLAT_GDI_BRUSH);
  if (!object) return false;
  *brush = &object->brush;
  return true;
}

}  // namespace

void PlatSurfaceResize(PlatWindow& top) {
  LONG w = std::max<LONG>(top.rect.right - top.rect.left, 0);
  LONG h = std::max<LONG>(top.rect.bottom - top.rect.top, 0);
  top.surface.assign((size_t)w * h, 0);
  top.surfaceChanged = true;
}

bool PlatDcTarget(HDC dc, PlatDrawTarget* target) {
  PlatDc* record = PlatDcGet(dc);
  if (!record) return false;
  PlatWindow* window = PlatWindowGetNumber(record->window);
  if (!window || window->foreign || !PlatWindowShown(*window)) return false;
  PlatWindow* top = PlatWindowTopLevel(window);
  POINT topOrigin = PlatWindowScreenOrigin(*top);
  LONG width = top->rect.right - top->rect.left;
  RECT clip{0, 0, width, top->rect.bottom - top->rect.top};
  for (PlatWindow* w = window; w && w->parent; w = PlatWindowGetNumber(w->parent)) {
    POINT o = PlatWindowScreenOrigin(*w);
    RECT own{o.x - topOrigin.x, o.y - topOrigin.y, o.x - topOrigin.x + (w->rect.right - w->rect.left),
             o.y - topOrigin.y + (w->rect.bottom - w->rect.top)};
    clip = PlatIntersect(clip, own);
  }
  POINT origin = PlatWindowScreenOrigin(*window);
  *target = PlatDrawTarget{top->surface.data(), width, {origin.x - topOrigin.x, origin.y - topOrigin.y}, clip, top};
  return clip.left < clip.right && clip.top < clip.bottom;
}

bool PlatComposePending() {
  for (DWORD number : PlatTopLevelWindows()) {
    PlatWindow* top = PlatWindowGetNumber(number);
    if (top->surfaceChanged || ((top->style & WS_VISIBLE) && PlatTreeNeedsPaint(*top))) return true;
  }
  return false;
}

bool PlatComposeAll() {
  bool painted = false;
  for (DWORD number : PlatTopLevelWindows()) {
    PlatWindow* top = PlatWindowGetNumber(number);
    if (top && (top->style & WS_VISIBLE) && PlatTreeNeedsPaint(*top)) {
      PlatPaintTree(number);
      painted = true;
      if ((top = PlatWindowGetNumber(number))) top->surfaceChanged = true;
    }
    if (top && top->surfaceChanged) {
      top->surfaceChanged = false;
      const PlatBackend& backend = PlatBackendGet();
      if (backend.present) backend.present(*top);
    }
  }
  return painted;
}

HDC BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
  PlatWindow* window = PlatWindowGet(handle);
  if (!window || window->foreign || !paint) return nullptr;
  HDC dc = PlatDcCreate(window->handle, true);
  bool erase = window->needsErase;
  window->needsPaint = window->needsErase = false;
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  GetClientRect(handle, &paint->rcPaint);
  paint->fErase = erase ? !SendMessageA(handle, WM_ERASEBKGND, (WPARAM)dc, 0) : FALSE;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  PlatDc* record = PlatDcGet(paint->hdc);
  if (!record || !record->paint) return FALSE;
  return PlatDcDelete(paint->hdc);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH handle) {
  PlatBrush scratch;
  const PlatBrush* brush = nullptr;
  if (!rect || !PlatBrushResolve(handle, &scratch, &brush)) return 0;
  PlatDrawTarget t;
  if (!PlatDcTarget(dc, &t)) return 1;  // nothing of it is on show
  RECT area = PlatIntersect(RECT{rect->left + t.origin.x, rect->top + t.origin.y, rect->right + t.origin.x,
                                 rect->bottom + t.origin.y},
                            t.clip);
  for (LONG sy = area.top; sy < area.bottom; ++sy)
    PlatBrushSpan(t, *brush, sy - t.origin.y, area.left - t.origin.x, area.right - t.origin.x);
  if (area.left < area.right) t.top->surfaceChanged = true;
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (!rect) return 0;
  const RECT& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return 1;
  const RECT edges[] = {{r.left, r.top, r.right, r.top + 1},
                        {r.left, r.bottom - 1, r.right, r.bottom},
                        {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                        {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
  for (const RECT& edge : edges)
    if (!FillRect(dc, &edge, brush)) return 0;
  return 1;
}

// Copies a bitmap's colours to (x, y) of the DC, clipped.
void PlatDrawBitmap(HDC dc, LONG x, LONG y, HBITMAP handle) {
  PlatGdiObject* object = PlatGdiGet(handle, PLAT_GDI_BITMAP);
  PlatDrawTarget t;
  if (!object || !PlatDcTarget(dc, &t)) return;
  const PlatBitmap& bitmap = object->bitmap;
  RECT area = PlatIntersect(RECT{x + t.origin.x, y + t.origin.y, x + t.origin.x + bitmap.width,
                                 y + t.origin.y + bitmap.height},
                            t.clip);
  for (LONG sy = area.top; sy < area.bottom; ++sy)
    for (LONG sx = area.left; sx < area.right; ++sx)
      t.pixels[(size_t)sy * t.surfaceWidth + sx] = PlatBitmapPixel(bitmap, sx - t.origin.x - x, sy - t.origin.y - y);
  if (area.left < area.right && area.top < area.bottom) t.top->surfaceChanged = true;
}
