// png2bmp: decodes a PNG file with the program's own decoder and writes the bitmap it
// makes as a .bmp file, the DIB as it is: its info header (top-down, negative height), its
// colour table and its rows.
//
//   png2bmp <input.png> <output.bmp>
//
// The file goes through the decoder's five operations as a raw-data resource, exactly as
// the program's pictures do. A rejected file gives a message naming the step and the error
// code, and exit status 1; a file that cannot be read or written gives status 2.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "png/pipeline.h"

namespace {

const int kResourceId = 1;

bool ReadFile(const char* path, std::vector<BYTE>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  BYTE buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
  bool ok = !ferror(file);
  fclose(file);
  return ok;
}

void Put16(std::vector<BYTE>* out, DWORD v) {
  out->push_back((BYTE)v);
  out->push_back((BYTE)(v >> 8));
}
void Put32(std::vector<BYTE>* out, DWORD v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The .bmp bytes: file header, info header, the colour table the bitmap uses, the rows.
std::vector<BYTE> BitmapFile(const PngBitmapInfo& info, const BYTE* rows, size_t rowBytes) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  DWORD colours = h.biClrUsed ? h.biClrUsed : h.biBitCount <= 8 ? 1u << h.biBitCount : 0;
  DWORD offset = 14 + 40 + colours * 4;
  std::vector<BYTE> out;
  out.push_back('B');
  out.push_back('M');
  Put32(&out, (DWORD)(offset + rowBytes));
  Put32(&out, 0);
  Put32(&out, offset);
  Put32(&out, h.biSize);
  Put32(&out, (DWORD)h.biWidth);
  Put32(&out, (DWORD)h.biHeight);
  Put16(&out, h.biPlanes);
  Put16(&out, h.biBitCount);
  Put32(&out, h.biCompression);
  Put32(&out, h.biSizeImage);
  Put32(&out, (DWORD)h.biXPelsPerMeter);
  Put32(&out, (DWORD)h.biYPelsPerMeter);
  Put32(&out, h.biClrUsed);
  Put32(&out, h.biClrImportant);
  for (DWORD i = 0; i < colours; i++) {
    const RGBQUAD& q = info.bmiColors[i];
    out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved});
  }
  out.insert(out.end(), rows, rows + rowBytes);
  return out;
}

int Reject(const char* path, const char* step, DWORD code) {
  fprintf(stderr, "png2bmp: %s: rejected by %s: error 0x%04X (%s)\n", path, step, code, PngErrorName(code));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: png2bmp <input.png> <output.bmp>\n");
    return 2;
  }
  std::vector<BYTE> png;
  if (!ReadFile(argv[1], &png) || png.size() > 0xFFFFFFFF) {
    fprintf(stderr, "png2bmp: %s: cannot read the file\n", argv[1]);
    return 2;
  }
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(kResourceId), png.data(), (DWORD)png.size());

  PngDecoder decoder;
  PngInit(&decoder);
  if (!PngLoadResource(&decoder, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kResourceId))) {
    return Reject(argv[1], "PngLoadResource", decoder.errorCode);
  }
  if (!PngDecode(&decoder)) return Reject(argv[1], "PngDecode", decoder.errorCode);
  HBITMAP bitmap = PngCreateBitmap(&decoder, nullptr);
  if (!bitmap) {
    // The pixel writer leaves no code of its own: a bad filter type in a scanline.
    DWORD code = decoder.errorCode ? decoder.errorCode : PNG_ERR_BAD_DATA;
    PngCleanup(&decoder);
    return Reject(argv[1], "PngCreateBitmap", code);
  }

  PngBitmapInfo info;
  PngPixelFormat format;
  PngDescribeBitmap(&decoder, &info, &format);  // the description the bitmap was made from
  BITMAP bm = {};
  GetObjectA(bitmap, sizeof bm, &bm);
  size_t rowBytes = (size_t)bm.bmWidthBytes * decoder.height;
  std::vector<BYTE> file = BitmapFile(info, (const BYTE*)bm.bmBits, rowBytes);
  DeleteObject(bitmap);
  PngCleanup(&decoder);

  FILE* out = fopen(argv[2], "wb");
  bool written = out && fwrite(file.data(), 1, file.size(), out) == file.size();
  if (out) written = (fclose(out) == 0) && written;
  if (!written) {
    fprintf(stderr, "png2bmp: %s: cannot write the file\n", argv[2]);
    return 2;
  }
  return 0;
}
