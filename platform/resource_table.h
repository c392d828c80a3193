// The embedded resource table: what tools/rescomp generates from res/resources.rc and the
// resource functions search. A type or name is either a 16-bit id (the string is null) or
// a string (the id is 0). The table is found through PlatEmbeddedResources(); a program
// built without the generated table gets an empty one.
#pragma once

#include "platform/win32_types.h"

struct PlatResourceEntry {
  WORD typeId;
  const char* typeName;
  WORD nameId;
  const char* nameName;
  WORD language;
  const unsigned char* data;  // null when size is 0
  DWORD size;
};

struct PlatResourceTable {
  const PlatResourceEntry* entries;
  DWORD count;
};

const PlatResourceTable* PlatEmbeddedResources(void);
