// scripts/make-data.sh, run with the tools of this build, makes every shipped file in data/ byte for byte:
// the files cannot drift from the programs that make them.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support.h"

namespace {

namespace fs = std::filesystem;

TEST(DataRegeneration, MakeDataScriptRemakesEveryShippedFile) {
  const fs::path out = tempPath("make-data");
  fs::remove_all(out);
  int status = -1;
  const std::string log = runCommand(
      "NPRVIEW_TOOLS=" NPRVIEW_TOOLS_DIR " scripts/make-data.sh " + out.string() + " 2>&1", &status);
  ASSERT_EQ(status, 0) << log;
  int compared = 0;
  for (const auto& made : fs::directory_iterator(out)) {
    const fs::path shipped = fs::path("data") / made.path().filename();
    ASSERT_TRUE(fs::exists(shipped)) << shipped << " is made but not shipped";
    EXPECT_TRUE(readFile(made.path()) == readFile(shipped))
        << shipped << " differs from what the tools make now";
    ++compared;
  }
  EXPECT_EQ(compared, std::distance(fs::directory_iterator("data"), fs::directory_iterator()));
  fs::remove_all(out);
}

}  // namespace
