// The web link. The browser comes from the machine-wide list of registered browsers, not
// from the default-browser setting: Firefox's key is probed first, then Chrome's, and
// Internet Explorer is the fallback. A key's existence is the whole test; a key that
// opened is closed before the browser starts.
#include "app/web_link.h"

namespace {

struct AppBrowserChoice {
  LPCSTR registryKey;
  LPCSTR command;
};

const AppBrowserChoice appBrowsers[] = {
    {"SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE", "FIREFOX"},
    {"SOFTWARE\\Clients\\StartMenuInternet\\Google Chrome", "CHROME"},
};

const LPCSTR APP_FALLBACK_BROWSER = "IEXPLORE";

}  // namespace

void AppOpenWebLink(HWND window) {
  LPCSTR command = APP_FALLBACK_BROWSER;
  for (const AppBrowserChoice& browser : appBrowsers) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, browser.registryKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      command = browser.command;
      break;
    }
  }
  ShellExecuteA(window, "open", command, APP_SITE_ADDRESS, nullptr, SW_SHOWNORMAL);
}
