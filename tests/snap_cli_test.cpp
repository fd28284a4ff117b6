// The nprsnap program itself: its exit status, its one line on failure and the file it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "png_file.h"
#include "support.h"

namespace {

struct SnapRun {
  int status = -1;
  std::string out;
  std::string err;
};

SnapRun nprsnap(const std::string& arguments) {
  const std::string errPath = tempPath("nprsnap-stderr.txt").string();
  SnapRun run;
  run.out = runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " 2>" + errPath, &run.status);
  std::ifstream in(errPath);
  run.err.assign(std::istreambuf_iterator<char>(in), {});
  in.close();
  std::filesystem::remove(errPath);
  return run;
}

// The renderer's construction loads the hatching images with the viewer's bitmap loader, which reports
// each size on standard output, here as in the viewer.
const std::string kHatchImageLines = hatchImageLines();

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(SnapProgram, WritesAPngOfTheAskedSize) {
  const std::string out = testOutputPath("cli-64x32.png");
  std::filesystem::remove(out);
  const SnapRun run = nprsnap("data/sphere-unit.poly --size 64x32 -o " + out);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, kHatchImageLines);
  EXPECT_EQ(run.err, "");
  RgbImage picture;
  std::string error;
  ASSERT_TRUE(readPng(out, picture, error)) << error;
  EXPECT_EQ(picture.width, 64);
  EXPECT_EQ(picture.height, 32);
}

TEST(SnapProgram, FailuresSayOneLineOnStandardErrorAndExitNonZero) {
  const std::string junk = tempPath("junk.poly").string();
  std::ofstream(junk) << "vertices: 3 faces: 1 v 0 0 0 0 0 1\n";
  struct Case {
    std::string arguments;
    int status;
    const char* stderrSays;
    std::string stdoutIs;  // the loaders' own lines, as the viewer writes them
  };
  const Case cases[] = {
      {"", 2, "no model file given", ""},
      {"data/sphere-unit.poly -o x.png --yaw", 2, "\"--yaw\" needs a value", ""},
      {"data/no-such-model.poly -o x.png", 1, "cannot read the model \"data/no-such-model.poly\"",
       "Error: Could not load model \"data/no-such-model.poly\"\n"},
      {junk + " -o x.png", 1, "cannot read the model",
       "Error: Model \"" + junk + "\" not of expected format.\n"},
      {"data/sphere-unit.poly --size 8 -o /no-such-folder/x.png", 1, "cannot write \"/no-such-folder/x.png\"",
       kHatchImageLines},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const SnapRun run = nprsnap(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.rfind("nprsnap: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.stderrSays), std::string::npos) << run.err;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_EQ(run.out, c.stdoutIs);
  }
  EXPECT_FALSE(std::filesystem::exists("x.png"));
  std::filesystem::remove(junk);
}

}  // namespace
