// The nprsnap program itself: its exit status and its one line on failure. (The pictures it writes are the
// viewer test's expectations.)
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"

namespace {

TEST(SnapProgram, FailuresSayOneLineOnStandardErrorAndExitNonZero) {
  const std::string junk = tempPath("junk.poly").string();
  std::ofstream(junk) << "vertices: 3 faces: 1 v 0 0 0 0 0 1\n";
  struct Case {
    std::string arguments;
    int status;
    std::string stderrSays;
  };
  // The loaders' own lines are the viewer's: standard output stays free for a picture.
  const Case cases[] = {
      {"", 2, "no model file given"},
      {"data/sphere-unit.poly -o x.png --yaw", 2, "--yaw: 1 required DEGREES missing"},
      {"data/no-such-model.poly -o x.png", 1,
       "cannot read the model \"data/no-such-model.poly\": No such file or directory"},
      {junk + " -o x.png", 1, "cannot read the model \"" + junk + "\": not of expected format"},
      {"data/sphere-unit.poly --size 8 --hatching -o /no-such-folder/x.png", 1,
       "cannot write \"/no-such-folder/x.png\""},
  };
  const std::string errPath = tempPath("nprsnap-stderr.txt").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    int status = -1;
    EXPECT_EQ(runCommand(std::string(NPRSNAP_BINARY) + " " + c.arguments + " 2>" + errPath, &status), "");
    EXPECT_EQ(status, c.status);
    const std::string err = readFile(errPath);
    EXPECT_THAT(err, testing::StartsWith("nprsnap: "));
    EXPECT_THAT(err, testing::HasSubstr(c.stderrSays));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_FALSE(std::filesystem::exists("x.png"));
  std::filesystem::remove(junk);
  std::filesystem::remove(errPath);
}

}  // namespace
