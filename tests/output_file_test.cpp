// Output files are replaced whole or not at all: what was at the path survives every failure and every
// signal, only regular files are ever replaced, and nothing another user put in a shared folder is followed.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "output_file.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using Temporary = OutputFile::Temporary;
constexpr uid_t kOtherUser = 12345;

// Every entry below folder, hidden ones too (a temporary file left behind shows), with its mode, its link
// target and, for a regular file, its content.
std::string describe(const fs::path& folder) {
  return runCommand(
      "cd " + folder.string() +
      " && for f in $(find . -mindepth 1 -printf '%P\\n' | LC_ALL=C sort); do stat -c '%A %N' $f;"
      " [ -f $f ] && cat $f && echo; done");
}

bool writeThrough(const std::string& path, Temporary temporary, std::string& error) {
  OutputFile file(temporary);
  if (file.open(path) && file.write("new") && file.commit()) {
    return true;
  }
  error = file.error();
  return false;
}

TEST(OutputFile, ReplacesOnlyRegularFilesAndLosesNothingOnFailure) {
  ::umask(022);
  const std::string longName(255, 'x');
  const std::string asRoot = "id -u | grep -qx 0 || exit 77; mkdir -m 1777 s && ";
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
      {"ln -s d/target out; mkdir d", "out", "",
       "drwxr-xr-x 'd'\n-rw-r--r-- 'd/target'\nnew\nlrwxrwxrwx 'out' -> 'd/target'\nnew\n"},
      {"printf old > out; printf mine > out.tmp", "out", "",
       "-rw-r--r-- 'out'\nnew\n-rw-r--r-- 'out.tmp'\nmine\n"},
      {":", longName, "", "-rw-r--r-- '" + longName + "'\nnew\n"},
      {"ln -s a b; ln -s b a", "a", "Too many levels of symbolic links",
       "lrwxrwxrwx 'a' -> 'b'\nlrwxrwxrwx 'b' -> 'a'\n"},
      {"mkdir out", "out", "Is a directory", "drwxr-xr-x 'out'\n"},
      // An always-full device of our own, where the system lets us make one.
      {"mknod out c 1 7 2>/dev/null || exit 77", "out", "No space left on device", "crw-r--r-- 'out'\n"},
      // In a sticky folder anyone may write to, another user's link, at the end or on the way, and another
      // user's FIFO are not taken.
      {asRoot + "printf keep > v && ln -s ../v s/out && chown -h 12345 s/out", "s/out", "Permission denied",
       "drwxrwxrwt 's'\nlrwxrwxrwx 's/out' -> '../v'\nkeep\n-rw-r--r-- 'v'\nkeep\n"},
      {asRoot + "mkdir d && ln -s ../d s/d && chown -h 12345 s/d", "s/d/out", "Permission denied",
       "drwxr-xr-x 'd'\ndrwxrwxrwt 's'\nlrwxrwxrwx 's/d' -> '../d'\n"},
      {asRoot + "mkfifo s/out && chown 12345 s/out", "s/out", "Permission denied",
       "drwxrwxrwt 's'\nprw-r--r-- 's/out'\n"},
  };
  for (const Temporary temporary : {Temporary::Unnamed, Temporary::Named}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.setup + (temporary == Temporary::Named ? ", named temporary" : ""));
      const fs::path folder = tempPath("output-file");
      fs::create_directory(folder);
      int status = 0;
      runCommand("cd " + folder.string() + " && { " + c.setup + "; }", &status);
      std::string error;
      if (status != 77) {
        EXPECT_EQ(writeThrough((folder / c.path).string(), temporary, error), c.error.empty());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(describe(folder), c.after);
      }
      fs::remove_all(folder);
    }
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

// A write cut short leaves the old bytes and no temporary file: after every signal a program can catch, after
// SIGKILL where the temporary is unnamed, and past a file size limit, which fails the write with the
// system's reason. Each case is a child that writes part of a file and then meets its end.
TEST(OutputFile, NoTemporaryFileOutlivesASignalOrALimit) {
  constexpr int kLimit = 0;  // the file size limit: the write fails, the child exits with status 3
  struct Case {
    int signal;
    Temporary temporary;
  } const cases[] = {{SIGINT, Temporary::Named},   {SIGTERM, Temporary::Named},  {SIGHUP, Temporary::Named},
                     {SIGQUIT, Temporary::Named},  {kLimit, Temporary::Named},   {SIGHUP, Temporary::Unnamed},
                     {kLimit, Temporary::Unnamed}, {SIGKILL, Temporary::Unnamed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.signal ? ::strsignal(c.signal) : "file size limit") +
                 (c.temporary == Temporary::Named ? ", named temporary" : ""));
    const fs::path folder = tempPath("signalled");
    fs::create_directory(folder);
    runCommand("printf old > " + (folder / "keep").string());
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      int status = 5;
      {
        OutputFile file(c.temporary);
        file.open((folder / "keep").string());
        file.write(std::string(65536, 'n'));
        const rlimit small{4096, RLIM_INFINITY};
        if (c.signal != kLimit) {
          ::raise(c.signal);
        } else if (::setrlimit(RLIMIT_FSIZE, &small) == 0 && !file.write(std::string(65536, 'n'))) {
          status = file.error() == "File too large" ? 3 : 4;
        }
      }
      ::_exit(status);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(c.signal == kLimit ? WIFEXITED(status) && WEXITSTATUS(status) == 3
                                   : WIFSIGNALED(status) && WTERMSIG(status) == c.signal)
        << status;
    EXPECT_EQ(describe(folder), "-rw-r--r-- 'keep'\nold\n");
    fs::remove_all(folder);
  }
}

// Another user swaps what is at the output name in a sticky folder everyone writes to (a link to the
// writer's file, a FIFO), as fast as they can, while the writer writes
// there again and again; however the swaps fall, the writer's own file keeps its bytes.
TEST(OutputFile, AnotherUsersSwapsInASharedFolderNeverReachTheWritersFile) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "a second user can be made only by root";
  }
  const fs::path folder = tempPath("shared");
  fs::create_directories(folder / "s");
  fs::permissions(folder / "s", fs::perms(01777));
  runCommand("cd " + folder.string() + " && echo keep > v");
  const std::string out = (folder / "s/out").string(), swap = (folder / "s/swap").string();
  const pid_t other = ::fork();
  if (other == 0) {
    if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) {
      ::_exit(1);
    }
    // What did not land (the writer's own file was there) lands on a later turn.
    for (int i = 0;; ++i) {
      [[maybe_unused]] const int made =
          i % 2 ? ::symlink("../v", swap.c_str()) : ::mkfifo(swap.c_str(), 0666);
      ::rename(swap.c_str(), out.c_str());
    }
  }
  for (int i = 0; i < 5000; ++i) {
    std::string error;
    writeThrough(out, i % 2 ? Temporary::Named : Temporary::Unnamed, error);
    ::unlink(out.c_str());
  }
  ::kill(other, SIGKILL);
  ::waitpid(other, nullptr, 0);
  EXPECT_EQ(readFile(folder / "v"), "keep\n");
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
// program's standard output a pipe (its bytes land in out); $S is nprsnap, $P mesh2poly, $M a model, $O a
// mesh, $D the sources. A setup that exits 77 skips the row (files owned by others need root).
TEST(OutputFile, ProgramsWriteWhereTheSystemWouldAndSayWhyNot) {
  const std::string fifoImage =
      "mkdir data && cp $D/data/xhatch*.bmp data && rm data/xhatch2.bmp && mkfifo data/xhatch2.bmp";
  const std::string brokenPipe = "mkfifo p && exec 4<>p 5>p 4<&- && ";
  const std::string othersFifo =
      "id -u | grep -qx 0 || exit 77; mkdir -m 1777 s && mkfifo s/f && chown 12345 s/f";
  struct Case {
    std::string setup;
    std::string command;
    int status;
    std::string says;   // in the one line on standard error; "" when it must stay empty
    std::string after;  // a command whose output must be "ok"
  } const cases[] = {
      // In a sticky folder anyone may write to, another user's link or FIFO is not taken, nor waited on.
      {"id -u | grep -qx 0 || exit 77; mkdir -m 1777 shared && echo keep > secret && ln -s ../secret "
       "shared/s.png && chown -h 12345 shared/s.png",
       "$S $M --size 8 -o shared/s.png", 1, "\"shared/s.png\": Permission denied", "grep -qx keep secret"},
      {othersFifo, "timeout 5 $S $M --size 8 -o s/f", 1, "\"s/f\": Permission denied", ""},
      {othersFifo, "timeout 5 $P $O s/f", 1, "cannot write s/f: Permission denied", ""},
      // Standard output and other open descriptors carry the picture (or the model) and nothing else.
      {"ln -s $D/data data", "$S $M --hatching --size 8 -o -", 0, "",
       "$S $M --hatching --size 8 -o ref.png && cmp -s out ref.png"},
      {":", "$S $M --size 8 -o /dev/stdout", 0, "", "$S $M --size 8 -o ref.png && cmp -s out ref.png"},
      {":", "$S $M --size 8 -o /dev/fd/3 3>x", 0, "", "$S $M --size 8 -o ref.png && cmp -s x ref.png"},
      {":", "$P $O -", 0, "", "$P $O ref.poly && cmp -s out ref.poly"},
      {":", "$P $O /proc/self/fd/3 3>x", 0, "", "$P $O ref.poly && cmp -s x ref.poly"},
      {":", brokenPipe + "$S $M --size 8 -o - >&5", 1, "cannot write \"-\": Broken pipe", ""},
      {":", brokenPipe + "$P $O - >&5", 1, "cannot write -: Broken pipe", ""},
      {":", "$S $M --size 8 -o /dev/fd/9", 1, "cannot write \"/dev/fd/9\": Bad file descriptor", ""},
      // Past a file size limit: one line, and nothing left behind.
      {":", "ulimit -f 1 && $S $M --size 256 -o big.png", 1, "\"big.png\": File too large",
       "test ! -e big.png"},
      // At the time limit, one line, nothing written, and the import's child gone with nprsnap (waited
      // for up to 5 seconds).
      {"{ echo v 0 0 0; echo v 1 0 0; echo v 0 1 0; yes f 1 2 3 | head -n 4000000; } > d.obj",
       "$S d.obj --time-limit 0.5 -o t.png", 1, "stopped at --time-limit 0.5 seconds",
       "test ! -e t.png && for i in $(seq 100); do pgrep -f \"^$S d.obj\" || break; sleep 0.05; done "
       "&& ! pgrep -f \"^$S d.obj\""},
      // Refused before the first frame is drawn.
      {":", "$S $M --turntable 2 -o %999d.png", 2, "File name too long", ""},
      {":", "$S $M -o a.jpg", 2, "the output a.jpg: its extension names no format nprsnap writes",
       "test ! -e a.jpg"},
      {":", "$S \"$(printf 'new\\nline.poly')\" -o x.png", 1, "\"new\\x0aline.poly\": No such file", ""},
      {":", "$P \"$(printf 'new\\nline.obj')\" x.poly", 1, "cannot read new\\x0aline.obj: ", ""},
      // A hatching image wider than any needs is refused before it is read.
      {fifoImage +
           " && rm data/xhatch2.bmp && { printf 'BM\\0\\0\\0\\0\\0\\0\\0\\0\\066\\0\\0\\0\\050\\0\\0\\0"
           "\\001\\020\\0\\0\\001\\0\\0\\0\\001\\0\\030\\0'; head -c 12315 /dev/zero; } > data/xhatch2.bmp",
       "$S $M --hatching --size 8 -o x.png", 1, "data/xhatch2.bmp did not load", ""},
      // An SVG's hatching is strokes: it reads no hatching image, however broken.
      {fifoImage + " && printf 'BM' > data/xhatch3.bmp", "$S $M --hatching --size 8 -o x.svg", 0, "",
       "test -s x.svg"},
      // A FIFO where a hatching image should be is never opened, nor waited for: that image is taken from
      // where a program finds its data next (for this build, the source tree's data/).
      {fifoImage, "timeout 60 $S $M --size 8 -o x.png", 0, "", "test -s x.png"},
      {fifoImage, "timeout 60 $S $M --hatching --size 8 -o x.png", 0, "", "test -s x.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    const fs::path folder = tempPath("programs-output");
    fs::create_directory(folder);
    const std::string here = "cd " + folder.string() +
                             " && S=" NPRSNAP_BINARY " P=" NPRVIEW_MESH2POLY " D=" NPRVIEW_SOURCE_DIR
                             " M=" NPRVIEW_SOURCE_DIR "/data/sphere-unit.poly O=" NPRVIEW_SOURCE_DIR
                             "/tools/data/bunny.obj; ";
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
      EXPECT_EQ(runCommand(here + "ls -A | grep '^\\.'"), "") << "a temporary file was left";
    }
    fs::remove_all(folder);
  }
}

// True once process pid holds an unnamed file (O_TMPFILE) in folder open: the write has begun.
bool writesUnnamedFileIn(pid_t pid, const fs::path& folder) {
  std::error_code error;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    if (fs::read_symlink(fd.path(), error).string().starts_with(folder.string() + "/#")) {
      return true;
    }
  }
  return false;
}

// The real nprsnap stopped while it writes its picture into an unnamed file, then signalled: it ends by
// that signal, and no file is left, not even after SIGKILL.
TEST(OutputFile, NprsnapSignalledDuringAWriteLeavesNothing) {
  for (const int signal : {SIGINT, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(::strsignal(signal));
    const fs::path folder = tempPath("signalled");
    fs::create_directory(folder);
    const std::string output = (folder / "big.png").string();
    const char* argv[] = {NPRSNAP_BINARY, "data/sphere-unit.poly", "--size", "4096",
                          "-o",           output.c_str(),          nullptr};
    // As a shell's foreground job has it, even where the test was started with the signal ignored.
    ::signal(signal, SIG_DFL);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!writesUnnamedFileIn(pid, folder) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGSTOP);
    int status = 0;
    ::waitpid(pid, &status, WUNTRACED);
    EXPECT_TRUE(writesUnnamedFileIn(pid, folder)) << "no write began within two minutes";
    ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(runCommand("ls -A " + folder.string()), "");
    fs::remove_all(folder);
  }
}

}  // namespace
