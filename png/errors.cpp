// The decoder's error codes and their names, for the messages of tools and tests.
#include "png/png.h"

namespace {

struct ErrorName {
  DWORD code;
  const char* name;
};
const ErrorName PNG_ERROR_NAMES[] = {
    {PNG_ERR_NONE, "no error"},
    {PNG_ERR_NO_MEMORY, "out of memory"},
    {PNG_ERR_BUSY, "decoder already holds a picture"},
    {PNG_ERR_BAD_DATA, "not a PNG, or damaged data"},
    {PNG_ERR_UNSUPPORTED, "unsupported kind of PNG"},
    {PNG_ERR_WRONG_STATE, "operation called in the wrong state"},
    {PNG_ERR_BITMAP, "bitmap creation failed"},
    {PNG_ERR_RES_NOT_FOUND, "resource not found"},
    {PNG_ERR_RES_LOAD, "resource failed to load or is empty"},
};

}  // namespace

const char* PngErrorName(DWORD code) {
  for (const ErrorName& entry : PNG_ERROR_NAMES) {
    if (entry.code == code) return entry.name;
  }
  return "unknown error";
}
