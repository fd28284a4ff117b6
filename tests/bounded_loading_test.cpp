// The model loader reads no more than it parses: endless and huge inputs are refused after a few bytes,
// in little memory, with the one line of any refused file. The real nprsnap loads them.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "support.h"

namespace {

// The largest resident size any finished child process has had, in KiB.
long childrenPeakKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss;
}

TEST(BoundedLoading, EndlessAndHugeInputsAreRefusedInLittleMemory) {
  const std::string folder = tempPath("bounded").string();
  // A FIFO sends garbage after a header that declares a hundred million of each, until the reader goes.
  runCommand(
      "mkdir " + folder + " && cd " + folder +
      " && printf 'v 1' > three-bytes && ln -s /dev/zero zero-link && truncate -s 3G sparse && mkfifo fifo"
      " && { exec >/dev/null 2>&1; { printf 'vertices: 100000000 faces: 100000000\\n'; yes garbage; } > fifo "
      "& }");
  auto nprsnap = [&](const std::string& model, int& status) {
    // A load that hangs ends at the timeout, with status 124.
    return runCommand("timeout 20 " NPRSNAP_BINARY " " + model + " -o " + folder + "/x.png 2>&1 >/dev/null",
                      &status);
  };
  int status = 0;
  nprsnap(folder + "/three-bytes", status);
  const long baselineKiB = childrenPeakKiB();
  for (const std::string& model :
       {std::string("/dev/zero"), folder + "/zero-link", folder + "/sparse", folder + "/fifo"}) {
    SCOPED_TRACE(model);
    EXPECT_EQ(nprsnap(model, status),
              "nprsnap: cannot read the model \"" + model + "\": not of expected format\n");
    EXPECT_EQ(status, 1);
    EXPECT_LT(childrenPeakKiB(), baselineKiB + 64 * 1024);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
