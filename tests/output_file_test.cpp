// Output files are replaced whole or not at all: what was at the path survives every failure, and only
// regular files are ever replaced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "output_file.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// Every entry of folder, hidden ones too (a temporary file left behind shows), with its mode, its link
// target and, for a regular file, its content.
std::string describe(const fs::path& folder) {
  return runCommand("cd " + folder.string() +
                    " && for f in $(ls -A); do stat -c '%A %N' $f; [ -f $f ] && cat $f && echo; done");
}

TEST(OutputFile, ReplacesOnlyRegularFilesAndLosesNothingOnFailure) {
  ::umask(022);
  const std::string longName(255, 'x');
  struct Case {
    std::string setup;  // shell commands in an empty folder; status 77 skips the case
    std::string path;   // written there
    std::string error;  // "" when the write succeeds
    std::string after;  // the folder described afterwards
  } const cases[] = {
      {"printf old > out; chmod 600 out", "out", "", "-rw------- 'out'\nnew\n"},
      {"printf old > out; chmod 444 out", "out", "Permission denied", "-r--r--r-- 'out'\nold\n"},
      {"printf old > target; ln -s target out", "out", "",
       "lrwxrwxrwx 'out' -> 'target'\nnew\n-rw-r--r-- 'target'\nnew\n"},
      {"printf old > out; printf mine > out.tmp", "out", "",
       "-rw-r--r-- 'out'\nnew\n-rw-r--r-- 'out.tmp'\nmine\n"},
      {":", longName, "", "-rw-r--r-- '" + longName + "'\nnew\n"},
      // An always-full device of our own, where the system lets us make one.
      {"mknod out c 1 7 2>/dev/null || exit 77", "out", "No space left on device", "crw-r--r-- 'out'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup);
    const fs::path folder = tempPath("output-file");
    fs::create_directory(folder);
    int status = 0;
    runCommand("cd " + folder.string() + " && { " + c.setup + "; }", &status);
    std::string error;
    if (status != 77) {
      EXPECT_EQ(writeOutputFile((folder / c.path).string(), "new", error), c.error.empty());
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(describe(folder), c.after);
    }
    fs::remove_all(folder);
  }
}

TEST(OutputFile, WritesIntoAFifoInPlace) {
  const fs::path fifo = tempPath("output-file.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  std::string error;
  EXPECT_TRUE(writeOutputFile(fifo.string(), "through the pipe", error)) << error;
  char received[32] = {};
  EXPECT_EQ(::read(reader, received, sizeof received), 16);
  EXPECT_STREQ(received, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));
  ::close(reader);
  fs::remove(fifo);
}

// A file-size limit stands for a full disk: the write fails part way, with the system's reason.
TEST(OutputFile, AFailedWriteLeavesTheOldBytesAndNoTemporaryFile) {
  const fs::path folder = tempPath("output-file-limit");
  fs::create_directory(folder);
  runCommand("printf old > " + (folder / "keep").string());
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit limit{4096, saved.rlim_max};
  const auto handler = ::signal(SIGXFSZ, SIG_IGN);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::string error;
  EXPECT_FALSE(writeOutputFile((folder / "keep").string(), std::string(65536, 'n'), error));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, handler);
  EXPECT_EQ(error, "File too large");
  EXPECT_EQ(describe(folder), "-rw-r--r-- 'keep'\nold\n");
  fs::remove_all(folder);
}

// The real nprsnap on a full file system, a small tmpfs in a mount namespace of the test's own: keep.png
// keeps its bytes, no temporary file is left, and the one line says why.
TEST(OutputFile, NprsnapOnAFullDiskKeepsThePictureThatWasThere) {
  const fs::path folder = tempPath("full-disk");
  fs::create_directory(folder);
  const std::string d = folder.string();
  const std::string script = "mount -t tmpfs -o size=64k tmpfs " + d + " && echo mounted && printf old > " +
                             d + "/keep.png && { cat /dev/zero > " + d +
                             "/fill; } 2>/dev/null; " NPRSNAP_BINARY " data/sphere-unit.poly --size 64 -o " +
                             d + "/keep.png 2>&1 >/dev/null; echo $?; cat " + d + "/keep.png; echo; ls -A " +
                             d;
  const std::string output = runCommand("unshare -rm sh -c '" + script + "' 2>/dev/null");
  fs::remove_all(folder);
  if (!output.starts_with("mounted\n")) {
    GTEST_SKIP() << "no private mount namespace here for a tmpfs";
  }
  EXPECT_EQ(output, "mounted\nnprsnap: cannot write \"" + d +
                        "/keep.png\": No space left on device\n1\nold\nfill\nkeep.png\n");
}

}  // namespace
