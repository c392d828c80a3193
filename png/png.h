// PNG decoder: turns a PNG stored as a raw-data resource into a top-down DIB section.
//
// Life of a record: PngInit, PngLoadResource (attach and walk the chunks), PngDecode
// (inflate the image data), PngCreateBitmap (any number of times), PngCleanup (always, also
// after a failure; it is harmless on an empty record and may be called twice).
// Ownership: the caller owns the PngDecoder record. The PNG bytes belong to the module and
// are read in place, never written or freed. imageData is a process-heap block owned by the
// record from a successful PngDecode until PngCleanup. A bitmap returned by PngCreateBitmap
// belongs to the caller.
// Errors: every operation returns 1 (or a handle) on success and 0 (or null) on failure, and
// leaves one of the PNG_ERR_ codes in errorCode; PngErrorName names a code for messages.
// Nothing is shown or logged. A record is used by one thread at a time; there is no global
// state.
#pragma once

#include "platform/win32.h"

enum PngSourceKind : DWORD {
  PNG_SOURCE_NONE = 0,
  PNG_SOURCE_RESOURCE = 2,
};

enum PngState : DWORD {
  PNG_STATE_EMPTY = 0,
  PNG_STATE_LOADED = 1,
  PNG_STATE_DECODED = 2,
};

// The high nibble groups the codes: 1 the decoder's own resources, 2 the image and the
// order of operations, 3 the resource.
enum PngError : DWORD {
  PNG_ERR_NONE = 0,
  PNG_ERR_NO_MEMORY = 0x1001,
  PNG_ERR_BUSY = 0x1002,
  PNG_ERR_BAD_DATA = 0x2000,
  PNG_ERR_UNSUPPORTED = 0x2001,
  PNG_ERR_WRONG_STATE = 0x2003,
  PNG_ERR_BITMAP = 0x2006,
  PNG_ERR_RES_NOT_FOUND = 0x3001,
  PNG_ERR_RES_LOAD = 0x3002,
};

struct PngDecoder {
  DWORD width;           // pixels, from IHDR
  DWORD height;          // pixels, from IHDR
  DWORD errorCode;       // last PNG_ERR_ code, 0 when none
  DWORD paletteCount;    // first PLTE chunk's length / 3
  BYTE colourType;       // IHDR colour type
  BYTE bitDepth;         // IHDR bit depth
  BYTE interlaceMethod;  // 0 or 1
  const BYTE* sourceData;      // first byte of the PNG file, in the resource
  DWORD sourceSize;            // bytes of the PNG file
  const BYTE* chunkCursor;     // chunk being examined by the header walk
  BYTE* imageData;             // decompressed, still-filtered scanlines (owned)
  DWORD imageDataSize;         // bytes of imageData
  const BYTE* paletteData;     // first PLTE chunk's data, or null
  DWORD sourceKind;            // PngSourceKind
  const BYTE* headerData;      // IHDR chunk's data
  const BYTE* firstDataChunk;  // length field of the first IDAT chunk, or null
  DWORD state;                 // PngState
};

int PngInit(PngDecoder* decoder);
int PngLoadResource(PngDecoder* decoder, HMODULE module, LPCSTR name);
int PngDecode(PngDecoder* decoder);
HBITMAP PngCreateBitmap(PngDecoder* decoder, HWND window);
int PngCleanup(PngDecoder* decoder);

// The decoder's heap: the process heap, contents not cleared.
void* PngAlloc(DWORD bytes);
void PngFree(void* block);

// A short name for an error code ("bad data"), or "unknown error" for any other value.
const char* PngErrorName(DWORD code);
