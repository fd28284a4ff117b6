// The nprsnap program itself: its exit status and its one line on failure. (The pictures it writes are the
// viewer test's expectations.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"

namespace {

struct SnapRun {
  int status = -1;
  std::string out, err;
};

SnapRun nprsnap(const std::string& arguments) {
  const std::string errPath = tempPath("nprsnap-stderr.txt").string();
  SnapRun run;
  run.out = runCommand(std::string(NPRSNAP_BINARY) + " " + arguments + " 2>" + errPath, &run.status);
  run.err = readFile(errPath);
  std::filesystem::remove(errPath);
  return run;
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
       hatchImageLines()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const SnapRun run = nprsnap(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.rfind("nprsnap: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.stderrSays), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, c.stdoutIs);
  }
  EXPECT_FALSE(std::filesystem::exists("x.png"));
  std::filesystem::remove(junk);
}

}  // namespace
