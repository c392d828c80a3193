// Registry probes and shell execution: the browser keys follow the browsers installed on
// PATH, keys are read-only, and "open" starts the named browser (or xdg-open) detached,
// with the address as its argument.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

const char FIREFOX_KEY[] = "SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE";
const char CHROME_KEY[] = "SOFTWARE\\Clients\\StartMenuInternet\\Google Chrome";

// A PATH of our own holding stand-in programs that write their name and argument to a log.
struct ShellFixture : ::testing::Test {
  std::string dir, log, savedPath;

  void SetUp() override {
    dir = ::testing::TempDir() + "shell_test_bin";
    log = dir + "/started.log";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const char* path = std::getenv("PATH");
    savedPath = path ? path : "";
    setenv("PATH", dir.c_str(), 1);
    PlatRegistryUseInstalledBrowsers();
  }
  void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }

  void Install(const std::string& program) {
    std::string file = dir + "/" + program;
    std::ofstream(file) << "#!/bin/sh\necho \"" << program << " $*\" >> " << log << "\n";
    chmod(file.c_str(), 0755);
  }
  bool KeyOpens(const char* key) {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &opened);
    if (result == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
    }
    return result == ERROR_SUCCESS;
  }
  // Waits for the detached program to write its line.
  std::string Started() {
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(log);
      std::string line;
      if (std::getline(in, line)) return line;
      usleep(10000);
    }
    return "";
  }
};

TEST_F(ShellFixture, BrowserKeysExistWhenTheBrowserIsInstalled) {
  EXPECT_FALSE(KeyOpens(FIREFOX_KEY));
  EXPECT_FALSE(KeyOpens(CHROME_KEY));
  Install("chromium");
  EXPECT_FALSE(KeyOpens(FIREFOX_KEY));
  EXPECT_TRUE(KeyOpens(CHROME_KEY));
  Install("firefox-esr");
  EXPECT_TRUE(KeyOpens("software\\clients\\startmenuinternet\\firefox.exe"));
  EXPECT_FALSE(KeyOpens("SOFTWARE\\Clients\\StartMenuInternet\\Opera"));
  EXPECT_FALSE(KeyOpens(""));
  EXPECT_EQ(PlatRegistryOpenKeys(), 0u);
}

TEST_F(ShellFixture, RegistryIsReadOnlyAndKeysCloseOnce) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients", 0, KEY_WRITE, &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients", 0, KEY_READ, &key), ERROR_SUCCESS);
  HKEY child = nullptr;
  EXPECT_EQ(RegOpenKeyExA(key, "StartMenuInternet", 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(PlatRegistryOpenKeys(), 2u);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(ShellFixture, SubstitutedBrowsersDecideTheKeys) {
  PlatRegistrySetBrowsers(FALSE, TRUE);
  EXPECT_FALSE(KeyOpens(FIREFOX_KEY));
  EXPECT_TRUE(KeyOpens(CHROME_KEY));
  PlatRegistryUseInstalledBrowsers();
  EXPECT_FALSE(KeyOpens(CHROME_KEY));
}

TEST_F(ShellFixture, OpenStartsTheNamedBrowserOrTheDesktopOpener) {
  struct Case {
    const char* installed;
    const char* command;
    const char* expected;
  } cases[] = {
      {"firefox", "FIREFOX", "firefox http://orvenne-labs.example"},
      {"google-chrome", "CHROME", "google-chrome http://orvenne-labs.example"},
      {"xdg-open", "IEXPLORE", "xdg-open http://orvenne-labs.example"},
      {"xdg-open", "FIREFOX", "xdg-open http://orvenne-labs.example"},  // not installed: the desktop opens it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    std::filesystem::remove_all(dir);  // PATH is ours now: no shell commands from here
    std::filesystem::create_directories(dir);
    Install(c.installed);
    HINSTANCE result = ShellExecuteA(nullptr, "open", c.command, "http://orvenne-labs.example", nullptr, SW_SHOWNORMAL);
    EXPECT_GT(PlatHandleNumber(result), 32u);
    EXPECT_EQ(Started(), c.expected);
  }
}

TEST_F(ShellFixture, OpenFailsWhenNothingCanStart) {
  EXPECT_EQ(PlatHandleNumber(ShellExecuteA(nullptr, "open", "IEXPLORE", "http://x.example", nullptr, 1)),
            (DWORD)SE_ERR_FNF);
  Install("firefox");
  EXPECT_EQ(PlatHandleNumber(ShellExecuteA(nullptr, "print", "FIREFOX", "x", nullptr, 1)), (DWORD)SE_ERR_NOASSOC);
}

}  // namespace
