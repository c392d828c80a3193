// The decoder record's life: init, attach a raw-data resource, decode, create bitmaps,
// clean up, with the state checks and error codes of each step; and the decoder's heap.
//
// Facts relied on: LoadResource's result is the address of the resource's bytes, which
// belong to the module and are read in place; the bitmap is a DIB section created on the
// window's device context, whose pixel memory the pixel writer fills directly.
#include <cstring>

#include "png/pipeline.h"

void* PngAlloc(DWORD bytes) {
  return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void PngFree(void* block) {
  HeapFree(GetProcessHeap(), 0, block);
}

int PngInit(PngDecoder* decoder) {
  memset(decoder, 0, sizeof *decoder);
  return 1;
}

int PngLoadResource(PngDecoder* decoder, HMODULE module, LPCSTR name) {
  if (decoder->state != PNG_STATE_EMPTY || decoder->sourceKind != PNG_SOURCE_NONE) {
    decoder->errorCode = PNG_ERR_BUSY;
    return 0;
  }
  decoder->errorCode = PNG_ERR_NONE;
  HRSRC found = FindResourceA(module, name, RT_RCDATA);
  if (!found) {
    decoder->errorCode = PNG_ERR_RES_NOT_FOUND;
    return 0;
  }
  const BYTE* bytes = (const BYTE*)LoadResource(module, found);
  if (!bytes) {
    decoder->errorCode = PNG_ERR_RES_LOAD;
    return 0;
  }
  decoder->sourceData = decoder->chunkCursor = bytes;
  DWORD size = SizeofResource(module, found);
  if (size == 0) {
    decoder->errorCode = PNG_ERR_RES_LOAD;
    return 0;
  }
  decoder->sourceSize = size;
  decoder->sourceKind = PNG_SOURCE_RESOURCE;
  if (!PngReadHeader(decoder)) {
    decoder->sourceKind = PNG_SOURCE_NONE;
    return 0;
  }
  decoder->state = PNG_STATE_LOADED;
  return 1;
}

int PngDecode(PngDecoder* decoder) {
  if (decoder->state != PNG_STATE_LOADED) {
    decoder->errorCode = PNG_ERR_WRONG_STATE;
    return 0;
  }
  decoder->imageDataSize = PngImageDataSize(decoder);
  decoder->imageData = (BYTE*)PngAlloc(decoder->imageDataSize);
  if (!decoder->imageData) {
    decoder->errorCode = PNG_ERR_NO_MEMORY;
    return 0;
  }
  if (!PngInflate(decoder)) {
    PngFree(decoder->imageData);
    decoder->imageData = nullptr;
    return 0;
  }
  decoder->state = PNG_STATE_DECODED;
  return 1;
}

HBITMAP PngCreateBitmap(PngDecoder* decoder, HWND window) {
  if (decoder->state != PNG_STATE_DECODED) {
    decoder->errorCode = PNG_ERR_WRONG_STATE;
    return nullptr;
  }
  PngBitmapInfo info;
  PngPixelFormat format;
  PngDescribeBitmap(decoder, &info, &format);
  HDC dc = GetDC(window);
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, (const BITMAPINFO*)&info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap || !pixels) {
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
    decoder->errorCode = PNG_ERR_BITMAP;
  } else if (!PngWritePixels(decoder, (BYTE*)pixels, format)) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  ReleaseDC(window, dc);
  return bitmap;
}

int PngCleanup(PngDecoder* decoder) {
  if (decoder->state == PNG_STATE_DECODED && decoder->imageData) PngFree(decoder->imageData);
  memset(decoder, 0, sizeof *decoder);
  return 1;
}
