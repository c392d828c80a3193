// The resource compiler stops on bad input with a message naming the script's line and
// the file at fault, and compiles a sound script.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct RunResult {
  int status;
  std::string output;
};

std::string Dir() { return ::testing::TempDir() + "rescomp_test/"; }

void Write(const std::string& name, const std::string& bytes) {
  std::system(("mkdir -p " + Dir()).c_str());
  std::ofstream(Dir() + name, std::ios::binary) << bytes;
}

RunResult Compile(const std::string& script) {
  Write("test.rc", script);
  std::string command = std::string(RESCOMP_PATH) + " " + Dir() + "test.rc " + Dir() + "out.cpp 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char chunk[256];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  int status = pclose(pipe);
  return {WEXITSTATUS(status), output};
}

// A one-image .ico/.cur file: directory, then a DIB of the given size (height doubled).
std::string IconFile(int kind, int size, int bits, size_t imageBytes) {
  std::string f;
  auto put16 = [&](unsigned v) { f += (char)(v & 255), f += (char)(v >> 8); };
  auto put32 = [&](unsigned v) { put16(v & 0xFFFF), put16(v >> 16); };
  put16(0), put16(kind), put16(1);
  f += (char)size, f += (char)size, f += '\0', f += '\0';
  put16(1), put16(kind == 1 ? bits : 1);  // planes and bits, or the cursor's hot spot (1, 1)
  put32((unsigned)imageBytes), put32(22);
  put32(40), put32(size), put32(2 * size), put16(1), put16(bits);
  f.resize(22 + imageBytes, '\0');
  return f;
}

size_t DibBytes(int size, int bits) { return 40 + (size * bits + 31) / 32 * 4 * size + (size + 31) / 32 * 4 * size; }

TEST(ResourceCompiler, BadInputStopsWithFileAndLine) {
  Write("good.ico", IconFile(1, 16, 32, DibBytes(16, 32)));
  Write("short.ico", IconFile(1, 16, 32, DibBytes(16, 32)).substr(0, 100));
  Write("cursor.cur", IconFile(2, 16, 24, DibBytes(16, 24)));
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"1 RCDATA \"good.ico\"\n\n2 RCDATA \"missing.png\"\n", "test.rc:3: cannot open"},
      {"// icon\n7 ICON \"short.ico\"\n", "test.rc:2: 'short.ico': image lies outside the file"},
      {"7 ICON \"cursor.cur\"\n", "test.rc:1: 'cursor.cur': not an icon file"},
      {"7 CURSOR \"good.ico\"\n", "test.rc:1: 'good.ico': not a cursor file"},
      {"1 DIALOGEX 0, 0, 10, 10\nSTYLE WS_NOPE\nBEGIN\nEND\n", "test.rc:2: unknown constant 'WS_NOPE'"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  PUSHBUTTON\nEND\n", "test.rc:3: dialog controls are not supported"},
      {"1 RCDATA \"unterminated\n", "test.rc:1: unterminated string"},
  };
  for (const Case& c : cases) {
    RunResult r = Compile(c.script);
    EXPECT_NE(r.status, 0) << c.script;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
  }
}

TEST(ResourceCompiler, SoundScriptCompilesIntoATable) {
  Write("data.bin", "hello");
  Write("good.ico", IconFile(1, 16, 32, DibBytes(16, 32)));
  Write("cursor.cur", IconFile(2, 16, 24, DibBytes(16, 24)));
  RunResult r = Compile(
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
      "5 RCDATA \"data.bin\"\n6 ICON \"good.ico\"\n8 CURSOR \"cursor.cur\"\nNAMED 24 \"data.bin\"\n");
  ASSERT_EQ(r.status, 0) << r.output;
  std::ifstream in(Dir() + "out.cpp");
  std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(table.find("{10, nullptr, 5, nullptr, 1033, resource0, 5}"), std::string::npos) << table;
  EXPECT_NE(table.find("{14, nullptr, 6, nullptr, 1033, resource2, 20}"), std::string::npos) << table;
  EXPECT_NE(table.find("{12, nullptr, 8, nullptr, 1033, resource4, 20}"), std::string::npos) << table;
  EXPECT_NE(table.find("{24, nullptr, 0, \"NAMED\", 1033, resource5, 5}"), std::string::npos) << table;
}

}  // namespace
