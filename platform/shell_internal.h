// The browsers the registry and the shell know, shared by registry.cpp and shell.cpp.
#pragma once

#include <string>

struct PlatBrowser {
  const char* registryKey;  // under SOFTWARE\Clients\StartMenuInternet
  const char* command;      // the name the shell is given
  const char* programs[4];  // programs on PATH that stand for it, in order of preference
};

extern const PlatBrowser platBrowsers[2];

// The full path of the first of the browser's programs found on PATH, or "".
std::string PlatBrowserFind(const PlatBrowser& browser);
// The full path of an executable found on PATH, or "".
std::string PlatFindOnPath(const std::string& program);
