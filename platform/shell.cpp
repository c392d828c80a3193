// Shell execution: "open" with a browser's command name starts that browser, detached from
// this process, with the parameters as its one argument. "FIREFOX" and "CHROME" are found
// on PATH by their Linux program names; any other name, "IEXPLORE" among them, or a browser
// that is not installed, goes to xdg-open, the desktop's own way to open an address.
// The child is started by a double fork, so it is never left a zombie of ours; a pipe
// closed on exec tells whether the program really started.
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/shell_internal.h"
#include "platform/win32.h"

const PlatBrowser platBrowsers[2] = {
    {"FIREFOX.EXE", "FIREFOX", {"firefox", "firefox-esr", nullptr, nullptr}},
    {"Google Chrome", "CHROME", {"google-chrome", "google-chrome-stable", "chromium", "chromium-browser"}},
};

namespace {

const char* PLAT_FALLBACK_OPENER = "xdg-open";

std::mutex starterLock;
PlatShellStarter starter = nullptr;

// Starts `program` with one argument, detached; true when exec succeeded.
bool PlatStartDetached(const std::string& program, const std::string& argument) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const char* argv[] = {program.c_str(), argument.c_str(), nullptr};
  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here to exec.
    setsid();
    if (fork() != 0) _exit(0);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
    }
    execv(argv[0], (char* const*)argv);
    char failed = 1;
    ssize_t ignored = write(report[1], &failed, 1);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  char failed = 0;
  ssize_t n;
  while ((n = read(report[0], &failed, 1)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return n == 0;  // the pipe closed on a successful exec
}

}  // namespace

std::string PlatFindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return "";
}

std::string PlatBrowserFind(const PlatBrowser& browser) {
  for (const char* program : browser.programs) {
    if (!program) break;
    std::string found = PlatFindOnPath(program);
    if (!found.empty()) return found;
  }
  return "";
}

HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand) {
  (void)window;
  (void)directory;
  (void)showCommand;
  if (!file || !*file) return PlatHandleFromNumber<HINSTANCE>(SE_ERR_FNF);
  if (operation && strcasecmp(operation, "open") != 0) return PlatHandleFromNumber<HINSTANCE>(SE_ERR_NOASSOC);
  std::string argument = parameters ? parameters : "";
  {
    std::lock_guard<std::mutex> guard(starterLock);
    if (starter) return PlatHandleFromNumber<HINSTANCE>(starter(file, argument.c_str()) ? 33 : SE_ERR_FNF);
  }
  std::string program;
  for (const PlatBrowser& browser : platBrowsers)
    if (strcasecmp(file, browser.command) == 0) program = PlatBrowserFind(browser);
  if (program.empty()) program = PlatFindOnPath(PLAT_FALLBACK_OPENER);
  if (program.empty() || !PlatStartDetached(program, argument)) return PlatHandleFromNumber<HINSTANCE>(SE_ERR_FNF);
  return PlatHandleFromNumber<HINSTANCE>(33);
}

void PlatShellSetStarter(PlatShellStarter newStarter) {
  std::lock_guard<std::mutex> guard(starterLock);
  starter = newStarter;
}
