// The png2bmp tool: its .bmp files are byte for byte the expected PngSuite bitmaps, and a
// rejected file gives a non-zero status and a message naming the error code.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs the tool; returns its exit status and leaves its messages in `output`.
int RunTool(const std::string& input, const std::string& bmp, std::string* output) {
  std::string command = std::string(PNG2BMP_PATH) + " '" + input + "' '" + bmp + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kSuite = std::string(ORVENNE_PNG_FIXTURES) + "/pngsuite/";

TEST(Png2Bmp, WritesTheExpectedBitmapFiles) {
  std::string out = testing::TempDir() + "png2bmp_test.bmp";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kSuite + "expected")) {
    std::string name = entry.path().stem().string();
    std::string messages;
    ASSERT_EQ(RunTool(kSuite + name + ".png", out, &messages), 0) << name << ": " << messages;
    EXPECT_TRUE(Slurp(out) == Slurp(entry.path().string())) << name;
    files++;
  }
  EXPECT_GE(files, 160);
  std::remove(out.c_str());
}

TEST(Png2Bmp, RejectedFilesNameTheirErrorCode) {
  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"xs1n0g01.png", "rejected by PngLoadResource: error 0x2000"},
      {"xc9n2c08.png", "rejected by PngLoadResource: error 0x2001"},
      {"xdtn0g01.png", "rejected by PngDecode: error 0x2000"},
  };
  for (const auto& c : cases) {
    std::string out = testing::TempDir() + "png2bmp_rejected.bmp";
    std::string messages;
    EXPECT_EQ(RunTool(kSuite + c.name, out, &messages), 1) << c.name;
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  std::string messages;
  EXPECT_EQ(RunTool(kSuite + "no such file.png", testing::TempDir() + "x.bmp", &messages), 2);
  EXPECT_NE(messages.find("cannot read"), std::string::npos);
}

}  // namespace
