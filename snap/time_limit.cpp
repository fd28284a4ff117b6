// The time limit: an interval timer whose signal ends the program from its handler.
#include "time_limit.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "output_file.h"

namespace {

// Set before the timer starts: the handler may only make async-signal-safe calls.
char g_line[512];
size_t g_lineLength = 0;
int g_status = 1;

void endAtTimeLimit(int) {
  removeTemporaryOutput();
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, g_line, g_lineLength);
  ::_exit(g_status);
}

}  // namespace

bool startTimeLimit(double seconds, const std::string& line, int status) {
  g_lineLength = std::min(line.size(), sizeof g_line - 1);
  std::memcpy(g_line, line.data(), g_lineLength);
  g_line[g_lineLength++] = '\n';
  g_status = status;
  struct sigaction action {};
  action.sa_handler = endAtTimeLimit;
  ::sigfillset(&action.sa_mask);
  if (::sigaction(SIGALRM, &action, nullptr) != 0) {
    return false;
  }
  const double whole = std::floor(seconds);
  itimerval timer{};
  timer.it_value.tv_sec = static_cast<time_t>(whole);
  timer.it_value.tv_usec = static_cast<suseconds_t>(std::min(999999.0, std::ceil((seconds - whole) * 1e6)));
  return ::setitimer(ITIMER_REAL, &timer, nullptr) == 0;
}
