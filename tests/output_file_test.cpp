// Output files are replaced whole or not at all: what was at the path survives every failure, and only
// regular files are ever replaced.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

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

// The programs' output ends where a careful Unix tool's does. Each row runs in an empty folder with the
// program's standard output a pipe (its bytes land in out); $S is nprsnap, $P mesh2poly, $M a model, $D
// the sources. A setup that exits 77 skips the row (links owned by others need root).
TEST(OutputFile, ProgramsWriteWhereTheSystemWouldAndSayWhyNot) {
  const std::string fifoImage =
      "mkdir data && cp $D/data/xhatch*.bmp data && rm data/xhatch2.bmp && mkfifo data/xhatch2.bmp";
  const std::string brokenPipe = "mkfifo p && exec 4<>p 5>p 4<&- && ";
  struct Case {
    std::string setup;
    std::string command;
    int status;
    std::string says;   // in the one line on standard error; "" when it must stay empty
    std::string after;  // a command whose output must be "ok"
  } const cases[] = {
      // In a sticky folder anyone may write to, another user's link is not followed.
      {"id -u | grep -qx 0 || exit 77; mkdir -m 1777 shared && echo keep > secret && ln -s ../secret "
       "shared/s.png && chown -h 12345 shared/s.png",
       "$S $M --size 8 -o shared/s.png", 1, "\"shared/s.png\": Permission denied", "grep -qx keep secret"},
      // Standard output carries the picture (or the model) and nothing else.
      {"ln -s $D/data data", "$S $M --hatching --size 8 -o -", 0, "",
       "$S $M --hatching --size 8 -o ref.png && cmp -s out ref.png"},
      {":", "$S $M --size 8 -o /dev/stdout", 0, "", "$S $M --size 8 -o ref.png && cmp -s out ref.png"},
      {":", "$P $D/tools/data/bunny.obj -", 0, "",
       "$P $D/tools/data/bunny.obj ref.poly && cmp -s out ref.poly"},
      {":", brokenPipe + "$S $M --size 8 -o - >&5", 1, "cannot write \"-\": Broken pipe", ""},
      {":", brokenPipe + "$P $D/tools/data/bunny.obj - >&5", 1, "cannot write -: Broken pipe", ""},
      // Refused before the first frame is drawn.
      {":", "$S $M --turntable 2 -o %999d.png", 2, "File name too long", ""},
      {":", "$S \"$(printf 'new\\nline.poly')\" -o x.png", 1, "\"new\\x0aline.poly\": No such file", ""},
      {":", "$P \"$(printf 'new\\nline.obj')\" x.poly", 1, "cannot read new\\x0aline.obj: ", ""},
      // A FIFO where a hatching image should be is never opened for flat tones, and never waited for.
      {fifoImage, "timeout 60 $S $M --size 8 -o x.png", 0, "", "test -s x.png"},
      {fifoImage, "timeout 60 $S $M --hatching --size 8 -o x.png", 1, "data/xhatch2.bmp did not load", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const fs::path folder = tempPath("programs-output");
    fs::create_directory(folder);
    const std::string here = "cd " + folder.string() +
                             " && S=" NPRSNAP_BINARY " P=" NPRVIEW_MESH2POLY " D=" NPRVIEW_SOURCE_DIR
                             " M=" NPRVIEW_SOURCE_DIR "/data/sphere-unit.poly; ";
    int skipped = 0;
    runCommand(here + "{ " + c.setup + "; }", &skipped);
    const std::string script = here + "{ " + c.command +
                               "; echo $? > ../status-$$; } 2>../err-$$ | cat > out; "
                               "cat ../status-$$ ../err-$$; rm ../status-$$ ../err-$$; " +
                               (c.after.empty() ? ":" : c.after) + " && echo ok";
    if (skipped != 77) {
      const std::string output = runCommand(script);
      const std::string err = output.substr(std::min(output.find('\n') + 1, output.size()));
      EXPECT_EQ(output.substr(0, output.find('\n')), std::to_string(c.status));
      EXPECT_THAT(err, testing::MatchesRegex(c.says.empty() ? "ok\n" : "(nprsnap|mesh2poly): [^\n]*\nok\n"));
      EXPECT_THAT(err, testing::HasSubstr(c.says));
    }
    fs::remove_all(folder);
  }
}

// SIGINT or SIGTERM while nprsnap writes its picture: it ends by that signal and leaves no temporary file.
// The write is caught in progress by stopping the program as soon as the file appears in its folder.
TEST(OutputFile, SignalsDuringAWriteLeaveNoTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(::strsignal(signal));
    const fs::path folder = tempPath("signalled");
    fs::create_directory(folder);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE), 0);
    const std::string output = (folder / "big.png").string();
    const char* argv[] = {NPRSNAP_BINARY, "data/sphere-unit.poly", "--size", "2048",
                          "-o",           output.c_str(),          nullptr};
    // As a shell's foreground job has it, even where the test was started with the signal ignored.
    ::signal(signal, SIG_DFL);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    pollfd created{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&created, 1, 120000), 1) << "nothing written within two minutes";
    ::kill(pid, SIGSTOP);
    int status = 0;
    ::waitpid(pid, &status, WUNTRACED);
    EXPECT_THAT(runCommand("ls -A " + folder.string()), testing::StartsWith(".big.png."));
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(runCommand("ls -A " + folder.string()), "");
    ::close(watch);
    fs::remove_all(folder);
  }
}

}  // namespace
