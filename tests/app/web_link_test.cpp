// The web link: the browser follows the registered browsers in their order, the key is
// closed before the browser starts, and each call starts one browser with the address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"

namespace {

struct Start {
  std::string command, parameters;
  SIZE_T keysOpen;
};
std::vector<Start> gStarts;

BOOL RecordStart(LPCSTR command, LPCSTR parameters) {
  gStarts.push_back({command, parameters, PlatRegistryOpenKeys()});
  return TRUE;
}

TEST(WebLink, ChoosesFirefoxThenChromeThenInternetExplorer) {
  PlatShellSetStarter(RecordStart);
  struct Case {
    BOOL firefox, chrome;
    const char* command;
  } cases[] = {{TRUE, TRUE, "FIREFOX"}, {TRUE, FALSE, "FIREFOX"}, {FALSE, TRUE, "CHROME"}, {FALSE, FALSE, "IEXPLORE"}};
  for (const Case& c : cases) {
    gStarts.clear();
    PlatRegistrySetBrowsers(c.firefox, c.chrome);
    AppOpenWebLink(nullptr);
    ASSERT_EQ(gStarts.size(), 1u);
    EXPECT_EQ(gStarts[0].command, c.command);
    EXPECT_EQ(gStarts[0].parameters, "http://orvenne-labs.example");
    EXPECT_EQ(gStarts[0].keysOpen, 0u) << "the key is closed before the browser starts";
  }
  PlatRegistryUseInstalledBrowsers();
  PlatShellSetStarter(nullptr);
}

TEST(WebLink, EveryCallStartsTheBrowserOnce) {
  PlatShellSetStarter(RecordStart);
  PlatRegistrySetBrowsers(FALSE, TRUE);
  gStarts.clear();
  for (int i = 0; i < 3; ++i) AppOpenWebLink(nullptr);
  EXPECT_EQ(gStarts.size(), 3u);
  EXPECT_EQ(PlatRegistryOpenKeys(), 0u);
  PlatRegistryUseInstalledBrowsers();
  PlatShellSetStarter(nullptr);
}

}  // namespace
