// Choice of the window system's backend: the headless one when a test asked for it, else
// the X11 desktop. A program with no desktop to show its window on cannot do its work, so
// it says so and ends with a non-zero code rather than running unseen.
#include <cstdio>
#include <cstdlib>

#include "platform/window_internal.h"

namespace {

const PlatBackend* gBackend = nullptr;
bool gHeadlessChosen = false;

}  // namespace

void PlatBackendChooseHeadless() { gHeadlessChosen = true; }

const PlatBackend& PlatBackendGet() {
  if (gBackend) return *gBackend;
  if (gHeadlessChosen) {
    gBackend = &PlatBackendHeadless();
    return *gBackend;
  }
  gBackend = PlatBackendX11Open();
  if (!gBackend) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "orvenne: cannot open the X display%s%s%s: there is no desktop to show the window on\n",
                 display ? " \"" : "", display ? display : " (DISPLAY is not set)", display ? "\"" : "");
    std::exit(1);
  }
  return *gBackend;
}

DWORD PlatNow() { return PlatBackendGet().now(); }
