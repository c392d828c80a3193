// Fuzz target of the PNG decoder: arbitrary bytes as a raw-data resource through the whole
// life of a record (load, decode, create bitmap, cleanup). The sanitizers catch any access
// outside the source bytes, imageData, the row buffers or the bitmap.
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "png/pipeline.h"

namespace {

// Large but valid images are legal input; past this they only measure the machine's memory.
const uint64_t kLargestImage = 64u << 20;

bool SmallEnough(const PngDecoder* decoder) {
  WORD bitCount = PngBitmapBitCount(decoder->colourType, decoder->bitDepth);
  uint64_t bitmapBytes = (uint64_t)PngBitmapStride(decoder->width, bitCount) * decoder->height;
  return PngImageDataSize(decoder) <= kLargestImage && bitmapBytes <= kLargestImage;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFF) return 0;
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(1), data, (DWORD)size);
  PngDecoder decoder;
  PngInit(&decoder);
  if (PngLoadResource(&decoder, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)) && SmallEnough(&decoder) &&
      PngDecode(&decoder)) {
    HBITMAP bitmap = PngCreateBitmap(&decoder, nullptr);
    if (bitmap) DeleteObject(bitmap);
  }
  PngCleanup(&decoder);
  PlatRemoveAddedResources();
  return 0;
}
