// Module handle and resources. The executable's resources are a table that the build
// compiles from res/resources.rc (tools/rescomp) and links in; tests and tools may add
// resources at run time (platform/platform.h).
//
// Resource formats as Windows stores them: RT_RCDATA and RT_MANIFEST are the file's bytes;
// RT_DIALOG is a DLGTEMPLATEEX; an icon or cursor group (RT_GROUP_ICON, RT_GROUP_CURSOR)
// is a directory whose entries name RT_ICON / RT_CURSOR resources by id; an RT_CURSOR
// image starts with its hot spot (two WORDs) before the DIB.
#pragma once

#include "platform/win32_types.h"

#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_MANIFEST MAKEINTRESOURCEA(24)

#define LANG_ENGLISH_US 1033

HMODULE GetModuleHandleA(LPCSTR moduleName);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);
DWORD SizeofResource(HMODULE module, HRSRC resource);

#pragma pack(push, 2)
// Directory of an icon or cursor group resource, followed by idCount entries.
typedef struct {
  WORD idReserved;  // 0
  WORD idType;      // 1 icon, 2 cursor
  WORD idCount;
} GRPICONDIR;

typedef struct {
  BYTE bWidth;  // 0 means 256
  BYTE bHeight;
  BYTE bColorCount;
  BYTE bReserved;
  WORD wPlanes;
  WORD wBitCount;
  DWORD dwBytesInRes;
  WORD nId;  // id of the RT_ICON resource
} GRPICONDIRENTRY;

typedef struct {
  WORD wWidth;
  WORD wHeight;  // twice the cursor's height (image and mask)
  WORD wPlanes;
  WORD wBitCount;
  DWORD dwBytesInRes;
  WORD nId;  // id of the RT_CURSOR resource
} GRPCURSORDIRENTRY;
#pragma pack(pop)
