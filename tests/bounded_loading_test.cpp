// The model loader reads no more than it parses: endless and huge inputs are refused after a few bytes,
// in little memory, with the console line of any refused file. The real nprsnap loads them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "temp_path.h"

namespace {

namespace fs = std::filesystem;

struct SnapRun {
  int status = -1;  // -1 when the program did not exit by itself
  long peakKiB = 0;
  std::string console;
};

SnapRun nprsnap(const std::string& model) {
  const fs::path console = tempPath("bounded-stdout.txt");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
    // An alarm survives exec: a load that hangs ends here.
    ::alarm(20);
    ::execl(NPRSNAP_BINARY, NPRSNAP_BINARY, model.c_str(), "-o", tempPath("never.png").c_str(), nullptr);
    ::_exit(127);
  }
  SnapRun run;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKiB = usage.ru_maxrss;
  std::ifstream in(console);
  run.console.assign(std::istreambuf_iterator<char>(in), {});
  fs::remove(console);
  return run;
}

TEST(BoundedLoading, EndlessAndHugeInputsAreRefusedInLittleMemory) {
  const fs::path three = tempPath("three-bytes.poly"), link = tempPath("zero-link.poly");
  const fs::path sparse = tempPath("sparse.poly"), fifo = tempPath("garbage.poly");
  std::ofstream(three) << "v 1";
  fs::create_symlink("/dev/zero", link);
  std::ofstream(sparse).close();
  fs::resize_file(sparse, 3ull << 30);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Garbage after a header that declares a hundred million of each, until the reader goes.
  ::signal(SIGPIPE, SIG_IGN);
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    const std::string garbage = "vertices: 100000000 faces: 100000000\n" + std::string(65536, 'g');
    while (::write(fd, garbage.data(), garbage.size()) > 0) {
    }
    ::close(fd);
  });
  const long baselineKiB = nprsnap(three.string()).peakKiB;
  for (const fs::path& model : {fs::path("/dev/zero"), link, sparse, fifo}) {
    SCOPED_TRACE(model);
    const SnapRun run = nprsnap(model.string());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.console, "Error: Model \"" + model.string() + "\" not of expected format.\n");
    EXPECT_LT(run.peakKiB, baselineKiB + 64 * 1024);
  }
  writer.join();
  for (const fs::path& path : {three, link, sparse, fifo}) {
    fs::remove(path);
  }
}

}  // namespace
