// Cursors and icons from the module's resources, and the standard arrow.
//
// A cursor group (RT_GROUP_CURSOR) is a GRPICONDIR of type 2 followed by GRPCURSORDIRENTRY
// records naming RT_CURSOR resources; each of those starts with the hot spot (x, y as WORDs)
// and goes on like an icon image. An icon group (type 1) names RT_ICON images. An image is a
// BITMAPINFOHEADER whose height counts the colour bitmap and the mask together, the colour
// table (8 bits or fewer), the colour bitmap and a 1-bit AND mask, both bottom-up with rows
// padded to 4 bytes. Mask bit 1 is transparent; a 32-bit image with any non-zero alpha byte
// carries its own transparency instead.
#include <cstring>
#include <cstdlib>
#include <map>

#include "platform/window_internal.h"
#include "platform/win32_resource.h"

namespace {

PlatHandleTable<PlatCursor> gCursors{PLAT_KIND_CURSOR, {}, {}, {}};
std::map<std::pair<DWORD, ULONG_PTR>, HCURSOR> gLoaded;
HCURSOR gArrow = nullptr;

struct PlatBytes {
  const BYTE* data;
  DWORD size;
};

PlatBytes PlatResourceBytes(HINSTANCE instance, LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(instance, name, type);
  if (!found) return {nullptr, 0};
  HGLOBAL loaded = LoadResource(instance, found);
  const BYTE* data = loaded ? (const BYTE*)LockResource(loaded) : nullptr;
  return {data, data ? SizeofResource(instance, found) : 0};
}

WORD PlatReadWord(const BYTE* p) { return (WORD)(p[0] | p[1] << 8); }

LONG PlatRowBytes(LONG width, WORD bits) { return (LONG)((((int64_t)width * bits + 31) / 32) * 4); }

// Decodes one icon or cursor image into straight ARGB, rows top to bottom.
bool PlatDecodeImage(PlatBytes image, LONG* width, LONG* height, std::vector<DWORD>* argb) {
  if (image.size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, image.data, sizeof header);
  WORD bits = header.biBitCount;
  if (header.biSize < sizeof header || header.biSize > image.size || header.biCompression != BI_RGB ||
      !(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32))
    return false;
  LONG w = header.biWidth, h = header.biHeight / 2;
  if (w <= 0 || h <= 0 || w > 256 || h > 256) return false;
  DWORD colors = bits <= 8 ? (header.biClrUsed && header.biClrUsed < (1u << bits) ? header.biClrUsed : 1u << bits) : 0;
  uint64_t colorBytes = (uint64_t)PlatRowBytes(w, bits) * h;
  uint64_t maskBytes = (uint64_t)PlatRowBytes(w, 1) * h;
  uint64_t need = header.biSize + colors * 4ull + colorBytes + maskBytes;
  if (need > image.size) return false;
  const BYTE* table = image.data + header.biSize;
  const BYTE* xorBits = table + colors * 4;
  const BYTE* andBits = xorBits + colorBytes;

  bool ownAlpha = false;
  if (bits == 32)
    for (uint64_t i = 3; i < colorBytes && !ownAlpha; i += 4) ownAlpha = xorBits[i] != 0;

  argb->assign((size_t)w * h, 0);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = xorBits + (size_t)(h - 1 - y) * PlatRowBytes(w, bits);
    const BYTE* mask = andBits + (size_t)(h - 1 - y) * PlatRowBytes(w, 1);
    for (LONG x = 0; x < w; ++x) {
      DWORD rgb, alpha;
      if (bits >= 24) {
        const BYTE* p = row + (size_t)x * (bits / 8);
        rgb = (DWORD)p[2] << 16 | (DWORD)p[1] << 8 | p[0];
        alpha = ownAlpha ? p[3] : 0xFF;
      } else {
        int perByte = 8 / bits;
        DWORD index = (row[x / perByte] >> (8 - bits * (x % perByte + 1))) & ((1u << bits) - 1);
        const BYTE* c = index < colors ? table + index * 4 : nullptr;
        rgb = c ? (DWORD)c[2] << 16 | (DWORD)c[1] << 8 | c[0] : 0;
        alpha = 0xFF;
      }
      bool masked = (mask[x / 8] >> (7 - x % 8)) & 1;
      if (!ownAlpha && masked) alpha = 0;
      (*argb)[(size_t)y * w + x] = alpha << 24 | rgb;
    }
  }
  *width = w;
  *height = h;
  return true;
}

// The group entry whose width is nearest `size`, the deepest colour among equals.
bool PlatPickGroupEntry(PlatBytes group, WORD type, int size, WORD* id) {
  if (group.size < 6 || PlatReadWord(group.data) != 0 || PlatReadWord(group.data + 2) != type) return false;
  WORD count = PlatReadWord(group.data + 4);
  if (group.size < 6u + count * 14u || count == 0) return false;
  int bestScore = 1 << 30;
  for (WORD i = 0; i < count; ++i) {
    const BYTE* entry = group.data + 6 + i * 14;
    int width = type == 1 ? (entry[0] ? entry[0] : 256) : PlatReadWord(entry);
    int bitCount = PlatReadWord(entry + 6);
    int score = std::abs(width - size) * 64 - bitCount;
    if (score < bestScore) {
      bestScore = score;
      *id = PlatReadWord(entry + 12);
    }
  }
  return true;
}

HCURSOR PlatCursorAdd(std::unique_ptr<PlatCursor> cursor) {
  return PlatHandleFromNumber<HCURSOR>(PlatHandleAdd(gCursors, std::move(cursor)));
}

HCURSOR PlatStandardArrow() {
  if (!gArrow) {
    auto cursor = std::make_unique<PlatCursor>();
    cursor->standard = true;
    gArrow = PlatCursorAdd(std::move(cursor));
  }
  return gArrow;
}

}  // namespace

PlatCursor* PlatCursorGet(HCURSOR cursor) { return PlatHandleGet(gCursors, PlatHandleNumber(cursor)); }

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (!instance) return name == IDC_ARROW ? PlatStandardArrow() : nullptr;
  if (!IS_INTRESOURCE(name)) return nullptr;
  auto key = std::make_pair(PlatHandleNumber(instance), (ULONG_PTR)name);
  if (auto it = gLoaded.find(key); it != gLoaded.end()) return it->second;

  WORD id = 0;
  if (!PlatPickGroupEntry(PlatResourceBytes(instance, name, RT_GROUP_CURSOR), 2, 32, &id)) return nullptr;
  PlatBytes image = PlatResourceBytes(instance, MAKEINTRESOURCEA(id), RT_CURSOR);
  if (image.size < 4) return nullptr;
  auto cursor = std::make_unique<PlatCursor>();
  cursor->hotX = PlatReadWord(image.data);
  cursor->hotY = PlatReadWord(image.data + 2);
  if (!PlatDecodeImage(PlatBytes{image.data + 4, image.size - 4}, &cursor->width, &cursor->height, &cursor->argb))
    return nullptr;
  if (cursor->hotX >= cursor->width || cursor->hotY >= cursor->height) cursor->hotX = cursor->hotY = 0;
  HCURSOR handle = PlatCursorAdd(std::move(cursor));
  gLoaded[key] = handle;
  return handle;
}

bool PlatLoadIconArgb(HINSTANCE instance, LPCSTR name, int size, LONG* width, LONG* height, std::vector<DWORD>* argb) {
  WORD id = 0;
  if (!PlatPickGroupEntry(PlatResourceBytes(instance, name, RT_GROUP_ICON), 1, size, &id)) return false;
  return PlatDecodeImage(PlatResourceBytes(instance, MAKEINTRESOURCEA(id), RT_ICON), width, height, argb);
}
