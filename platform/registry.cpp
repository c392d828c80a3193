// Read-only registry probes. The only keys there are the ones browsers register under
// HKEY_LOCAL_MACHINE\SOFTWARE\Clients\StartMenuInternet: "FIREFOX.EXE" exists when Firefox
// is installed, "Google Chrome" when Google Chrome or Chromium is (found on PATH, as the
// shell will start them). Key names compare without regard to case, as on Windows. Tests
// substitute the installed browsers and count the keys left open.
#include <strings.h>

#include <iterator>
#include <memory>
#include <mutex>
#include <string>

#include "platform/handle_table.h"
#include "platform/platform.h"
#include "platform/shell_internal.h"
#include "platform/win32.h"

namespace {

struct PlatRegKey {
  std::string path;
};

PlatHandleTable<PlatRegKey>& PlatRegKeys() {
  static PlatHandleTable<PlatRegKey> table{PLAT_KIND_REGKEY, {}, {}, {}};
  return table;
}

std::mutex substituteLock;
bool substituted = false;
BOOL substituteInstalled[2] = {FALSE, FALSE};  // in the order of platBrowsers: Firefox, Chrome

const char PLAT_CLIENTS_KEY[] = "SOFTWARE\\Clients\\StartMenuInternet";

// Whether the browser registered under this key is installed.
bool PlatBrowserKeyExists(const std::string& key) {
  for (size_t i = 0; i < std::size(platBrowsers); ++i) {
    if (strcasecmp(key.c_str(), platBrowsers[i].registryKey) != 0) continue;
    {
      std::lock_guard<std::mutex> guard(substituteLock);
      if (substituted) return substituteInstalled[i];
    }
    return !PlatBrowserFind(platBrowsers[i]).empty();
  }
  return false;
}

// The keys that exist: the clients key, its parents, and each installed browser's key.
bool PlatKeyExists(const std::string& path) {
  std::string clients = PLAT_CLIENTS_KEY;
  if (strcasecmp(path.c_str(), "SOFTWARE") == 0 || strcasecmp(path.c_str(), "SOFTWARE\\Clients") == 0 ||
      strcasecmp(path.c_str(), clients.c_str()) == 0)
    return true;
  if (path.size() <= clients.size() + 1 || strncasecmp(path.c_str(), clients.c_str(), clients.size()) != 0 ||
      path[clients.size()] != '\\')
    return false;
  std::string browser = path.substr(clients.size() + 1);
  return browser.find('\\') == std::string::npos && PlatBrowserKeyExists(browser);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
  (void)options;
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string base;
  if (key == HKEY_LOCAL_MACHINE) {
    base = "";
  } else if (PlatRegKey* open = PlatHandleGet(PlatRegKeys(), PlatHandleNumber(key))) {
    base = open->path;
  } else if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_USERS) {
    return ERROR_FILE_NOT_FOUND;  // nothing is registered there
  } else {
    return ERROR_INVALID_HANDLE;
  }
  std::string path = base;
  if (subKey && *subKey) path = base.empty() ? subKey : base + "\\" + subKey;
  if (path.empty() || !PlatKeyExists(path)) return ERROR_FILE_NOT_FOUND;
  if (desired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;  // read-only
  DWORD number = PlatHandleAdd(PlatRegKeys(), std::make_unique<PlatRegKey>(PlatRegKey{path}));
  *result = PlatHandleFromNumber<HKEY>(number);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  return PlatHandleTake(PlatRegKeys(), PlatHandleNumber(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void PlatRegistrySetBrowsers(BOOL firefox, BOOL chrome) {
  std::lock_guard<std::mutex> guard(substituteLock);
  substituted = true;
  substituteInstalled[0] = firefox;
  substituteInstalled[1] = chrome;
}

void PlatRegistryUseInstalledBrowsers(void) {
  std::lock_guard<std::mutex> guard(substituteLock);
  substituted = false;
}

SIZE_T PlatRegistryOpenKeys(void) {
  SIZE_T count = 0;
  PlatHandleForEach(PlatRegKeys(), [&](DWORD, PlatRegKey&) { ++count; });
  return count;
}
