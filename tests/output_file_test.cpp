// Output files are replaced whole or not at all: what was at the path survives every failure, and only
// regular files are ever replaced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "output_file.h"
#include "temp_path.h"
#include "viewer_process.h"

namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Whatever the outcome, the folder holds afterwards exactly what the case made: no temporary file is left.
struct Case {
  const char* name;
  std::function<std::string(const fs::path& folder)> prepare;  // returns the path to write
  const char* error;                                           // "" when the write succeeds
  std::function<void(const fs::path& folder)> check;
};

TEST(OutputFile, ReplacesOnlyRegularFilesAndLosesNothingOnFailure) {
  const std::string bytes = "new content";
  auto file = [](const fs::path& path, const std::string& text, fs::perms mode) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, mode);
    return path.string();
  };
  const Case cases[] = {
      {"mode 600 is kept", [&](auto d) { return file(d / "private", "old", fs::perms(0600)); }, "",
       [&](auto d) {
         EXPECT_EQ(contentOf(d / "private"), bytes);
         EXPECT_EQ(fs::status(d / "private").permissions(), fs::perms(0600));
       }},
      {"a read-only file is refused", [&](auto d) { return file(d / "read-only", "old", fs::perms(0444)); },
       "Permission denied",
       [&](auto d) {
         EXPECT_EQ(contentOf(d / "read-only"), "old");
         EXPECT_EQ(fs::status(d / "read-only").permissions(), fs::perms(0444));
       }},
      {"a symlink stays a link to the new content",
       [&](auto d) {
         file(d / "target", "old", fs::perms(0644));
         fs::create_symlink("target", d / "link");
         return (d / "link").string();
       },
       "",
       [&](auto d) {
         EXPECT_TRUE(fs::is_symlink(d / "link"));
         EXPECT_EQ(contentOf(d / "target"), bytes);
       }},
      {"the user's own X.tmp is untouched",
       [&](auto d) {
         file(d / "out.poly.tmp", "mine", fs::perms(0644));
         return file(d / "out.poly", "old", fs::perms(0644));
       },
       "",
       [&](auto d) {
         EXPECT_EQ(contentOf(d / "out.poly.tmp"), "mine");
         EXPECT_EQ(contentOf(d / "out.poly"), bytes);
       }},
      {"a 255-character name", [&](auto d) { return (d / std::string(255, 'x')).string(); }, "",
       [&](auto d) { EXPECT_EQ(contentOf(d / std::string(255, 'x')), bytes); }},
      // A device that is always full, as a node of our own where we may make one, else a link to the
      // system's.
      {"a full device is written in place and stays",
       [&](auto d) {
         if (::mknod((d / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
           fs::create_symlink("/dev/full", d / "full");
         }
         return (d / "full").string();
       },
       "No space left on device",
       [&](auto d) { EXPECT_TRUE(fs::is_character_file(d / "full")) << "the node or link was replaced"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = tempPath("output-file");
    fs::remove_all(folder);
    fs::create_directory(folder);
    const std::string path = c.prepare(folder);
    const std::set<std::string> before = namesIn(folder);
    std::string error;
    EXPECT_EQ(writeOutputFile(path, bytes, error), *c.error == '\0');
    EXPECT_EQ(error, c.error);
    c.check(folder);
    EXPECT_EQ(namesIn(folder), before.empty() ? std::set<std::string>{fs::path(path).filename()} : before);
    fs::remove_all(folder);
  }
}

// A file-size limit stands for a full disk: the write fails part way with the system's reason.
TEST(OutputFile, AFailedWriteLeavesTheOldBytesAndNoTemporaryFile) {
  const fs::path folder = tempPath("output-file-limit");
  fs::create_directory(folder);
  std::ofstream(folder / "keep.bin", std::ios::binary) << "old bytes";
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limit = saved;
  limit.rlim_cur = 4096;
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  std::string error;
  const bool written = writeOutputFile((folder / "keep.bin").string(), std::string(65536, 'n'), error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, "File too large");
  EXPECT_EQ(contentOf(folder / "keep.bin"), "old bytes");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"keep.bin"});
  fs::remove_all(folder);
}

// A FIFO takes the bytes through the reader at its other end and is still a FIFO afterwards.
TEST(OutputFile, WritesIntoAFifoWithoutReplacingIt) {
  const fs::path fifo = tempPath("output-file.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = contentOf(fifo); });
  std::string error;
  EXPECT_TRUE(writeOutputFile(fifo.string(), "through the pipe", error)) << error;
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));
  fs::remove(fifo);
}

TEST(OutputFile, SameFileMeansSameInodeThroughLinks) {
  const fs::path a = tempPath("same-a"), b = tempPath("same-b"), link = tempPath("same-link");
  std::ofstream(a) << "a";
  std::ofstream(b) << "b";
  fs::create_symlink(a, link);
  EXPECT_TRUE(isSameFile(a.string(), link.string()));
  EXPECT_TRUE(isSameFile(a.string(), a.string()));
  EXPECT_FALSE(isSameFile(a.string(), b.string()));
  EXPECT_FALSE(isSameFile(a.string(), tempPath("same-missing").string()));
  fs::remove(a);
  fs::remove(b);
  fs::remove(link);
}

// The real nprsnap on a full file system, a small tmpfs in a mount namespace of the test's own: keep.png
// keeps its bytes, no temporary file is left, and the one line says why.
TEST(OutputFile, NprsnapOnAFullDiskKeepsThePictureThatWasThere) {
  const fs::path folder = tempPath("full-disk");
  fs::create_directory(folder);
  const std::string d = folder.string();
  const std::string script =
      "mount -t tmpfs -o size=64k tmpfs " + d + " && echo mounted && cd " + d +
      " && printf old > keep.png && { cat /dev/zero > fill; } 2>/dev/null; cd " +
      fs::current_path().string() + " && " NPRSNAP_BINARY " data/sphere-unit.poly --size 64 -o " + d +
      "/keep.png 2>&1 >/dev/null; echo status $?; cat " + d + "/keep.png; echo; ls -A " + d;
  const std::string output = runCommand("unshare -rm sh -c '" + script + "' 2>/dev/null");
  fs::remove_all(folder);
  if (!output.starts_with("mounted\n")) {
    GTEST_SKIP() << "no private mount namespace here for a tmpfs";
  }
  EXPECT_EQ(output, "mounted\nnprsnap: cannot write \"" + d +
                        "/keep.png\": No space left on device\nstatus 1\nold\nfill\nkeep.png\n");
}

}  // namespace
