// Pixel conversion: the natural DIB format of each PNG kind (bit count, grey ramp or
// palette, top-down rows) and the converters that turn one reconstructed PNG row into DIB
// pixels.
//
// Format facts: PNG samples are big-endian, colours red-green-blue(-alpha), sub-byte pixels
// packed from the most significant bit. DIB pixels are blue-green-red(-alpha), sub-byte
// pixels packed the same way, rows padded to 4 bytes. Sixteen-bit samples keep their high
// byte; grey alpha is dropped, RGBA alpha kept unmultiplied.
#include <cstring>

#include "png/pipeline.h"

BYTE* PngConvCopy(const BYTE* row, DWORD length, BYTE* out) {
  memcpy(out, row, length);
  return out + length;
}

BYTE* PngConvKeep1of2(const BYTE* row, DWORD length, BYTE* out) {
  for (DWORD i = 0; i + 2 <= length; i += 2) *out++ = row[i];
  return out;
}

BYTE* PngConvKeep1of4(const BYTE* row, DWORD length, BYTE* out) {
  for (DWORD i = 0; i + 4 <= length; i += 4) *out++ = row[i];
  return out;
}

// Each 2-bit pixel becomes a 4-bit one of the same value: p0 p1 p2 p3 -> p0p1, p2p3.
BYTE* PngConv2To4Bit(const BYTE* row, DWORD length, BYTE* out) {
  for (DWORD i = 0; i < length; i++) {
    BYTE b = row[i];
    out[0] = (BYTE)(((b >> 2) & 0x30) | ((b >> 4) & 0x03));
    out[1] = (BYTE)(((b << 2) & 0x30) | (b & 0x03));
    out += 2;
  }
  return out;
}

BYTE* PngConvRgb8ToBgr(const BYTE* row, DWORD length, BYTE* out) {
  const BYTE* end = row + length / 3 * 3;
  for (; row < end; row += 3, out += 3) {
    out[0] = row[2];
    out[1] = row[1];
    out[2] = row[0];
  }
  return out;
}

BYTE* PngConvRgb16ToBgr(const BYTE* row, DWORD length, BYTE* out) {
  const BYTE* end = row + length / 6 * 6;
  for (; row < end; row += 6, out += 3) {
    out[0] = row[4];
    out[1] = row[2];
    out[2] = row[0];
  }
  return out;
}

BYTE* PngConvRgba8ToBgra(const BYTE* row, DWORD length, BYTE* out) {
  const BYTE* end = row + length / 4 * 4;
  for (; row < end; row += 4, out += 4) {
    out[0] = row[2];
    out[1] = row[1];
    out[2] = row[0];
    out[3] = row[3];
  }
  return out;
}

BYTE* PngConvRgba16ToBgra(const BYTE* row, DWORD length, BYTE* out) {
  const BYTE* end = row + length / 8 * 8;
  for (; row < end; row += 8, out += 4) {
    out[0] = row[4];
    out[1] = row[2];
    out[2] = row[0];
    out[3] = row[6];
  }
  return out;
}

const PngConverter PngConverters[PNG_CONVERTER_COUNT] = {
    PngConvCopy,        nullptr,         nullptr,          nullptr,         nullptr,
    nullptr,            PngConvKeep1of2, PngConvRgb16ToBgr, nullptr,        PngConvRgba16ToBgra,
    PngConvKeep1of4,    PngConv2To4Bit,  PngConvRgb8ToBgr,  nullptr,        PngConvRgba8ToBgra,
};

namespace {

// Converter by (bit depth, colour type); every other accepted pair copies.
struct ConverterChoice {
  BYTE bitDepth;
  BYTE colourType;
  BYTE converter;
};
const ConverterChoice PNG_CONVERTER_CHOICES[9] = {
    {2, 0, 11}, {16, 0, 6}, {8, 2, 12}, {16, 2, 7}, {2, 3, 11}, {8, 4, 6}, {16, 4, 10}, {8, 6, 14}, {16, 6, 9},
};

BYTE ChooseConverter(BYTE colourType, BYTE bitDepth) {
  for (const ConverterChoice& choice : PNG_CONVERTER_CHOICES) {
    if (choice.bitDepth == bitDepth && choice.colourType == colourType) return choice.converter;
  }
  return 0;
}

}  // namespace

WORD PngBitmapBitCount(BYTE colourType, BYTE bitDepth) {
  if (colourType == 2) return 24;
  if (colourType == 6) return 32;
  if (colourType == 4) return 8;
  if (bitDepth == 2) return 4;
  if (bitDepth == 16) return 8;
  return bitDepth;
}

DWORD PngBitmapStride(DWORD width, WORD bitCount) {
  return (DWORD)(((uint64_t)width * bitCount + 31) / 32 * 4);
}

int PngDescribeBitmap(const PngDecoder* decoder, PngBitmapInfo* info, PngPixelFormat* format) {
  BYTE bitDepth = decoder->bitDepth;
  BYTE colourType = decoder->colourType;
  BITMAPINFOHEADER* header = &info->bmiHeader;
  memset(header, 0, sizeof *header);
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = (LONG)decoder->width;
  header->biHeight = -(LONG)decoder->height;
  header->biPlanes = 1;
  header->biBitCount = PngBitmapBitCount(colourType, bitDepth);
  header->biCompression = BI_RGB;

  DWORD tableSize = header->biBitCount <= 8 ? 1u << header->biBitCount : 0;
  // Entries the image does not set (past a short palette, or all of them when the
  // palette is missing) are black rather than left as they were.
  memset(info->bmiColors, 0, tableSize * sizeof(RGBQUAD));
  if (colourType == 0 || colourType == 4) {
    DWORD levels = bitDepth == 16 ? 256 : bitDepth == 2 ? 4 : tableSize;
    header->biClrUsed = levels;
    for (DWORD i = 0; i < levels; i++) {
      BYTE grey = (BYTE)(i * 255 / (levels - 1));
      info->bmiColors[i] = RGBQUAD{grey, grey, grey, 0};
    }
  } else if (colourType == 3 && decoder->paletteData) {
    // A PLTE may list more entries than the bitmap's colour table holds.
    DWORD count = decoder->paletteCount < tableSize ? decoder->paletteCount : tableSize;
    const BYTE* rgb = decoder->paletteData;
    for (DWORD i = 0; i < count; i++, rgb += 3) info->bmiColors[i] = RGBQUAD{rgb[2], rgb[1], rgb[0], 0};
  }
  *format = ((DWORD)colourType << 24) | ((DWORD)bitDepth << 16) | (1u << 8) | ChooseConverter(colourType, bitDepth);
  return 1;
}
