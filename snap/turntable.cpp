// Naming and timing the frames of a turntable; no GL, no files.
#include "turntable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The digits at text[at...], at most three of them; false for more.
bool skipDigits(std::string_view text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && isDigit(text[at])) {
    ++at;
  }
  return at - start <= 3;
}

std::string minutesAndSeconds(double seconds) {
  const long long whole = std::llround(std::max(seconds, 0.0));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

}  // namespace

bool parseFrameNamePattern(std::string_view pattern, FrameNamePattern& result, std::string& error) {
  FrameNamePattern parsed;
  int fields = 0;
  std::string* text = &parsed.before;
  for (size_t at = 0; at < pattern.size();) {
    if (pattern[at] != '%') {
      text->push_back(pattern[at++]);
      continue;
    }
    if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
      text->push_back('%');
      at += 2;
      continue;
    }
    const size_t start = at++;
    while (at < pattern.size() && std::string_view("-+ 0#").find(pattern[at]) != std::string_view::npos) {
      ++at;
    }
    bool shortEnough = skipDigits(pattern, at);
    if (at < pattern.size() && pattern[at] == '.') {
      ++at;
      shortEnough = skipDigits(pattern, at) && shortEnough;
    }
    if (at >= pattern.size() || std::string_view("diu").find(pattern[at]) == std::string_view::npos ||
        !shortEnough) {
      error = "only one integer field such as %03d may be in the name, not \"" +
              std::string(pattern.substr(start, at + 1 - start)) + "\"";
      return false;
    }
    ++at;
    if (++fields > 1) {
      error = "the name has more than one integer field";
      return false;
    }
    parsed.field = pattern.substr(start, at - start);
    text = &parsed.after;
  }
  if (fields == 0) {
    error = "the name needs an integer field for the frame number, such as turn-%03d.png";
    return false;
  }
  result = std::move(parsed);
  return true;
}

std::string frameFileName(const FrameNamePattern& pattern, int frame) {
  // The field was checked: one conversion of an int, width and precision under 1000.
  char number[2048];
  std::snprintf(number, sizeof number, pattern.field.c_str(), frame);
  return pattern.before + number + pattern.after;
}

float turntableYaw(float startYaw, int frame, int frames) {
  return static_cast<float>(startYaw + 360.0 * frame / frames);
}

std::string progressLine(int done, int total, double elapsedSeconds) {
  const double left = done > 0 ? elapsedSeconds / done * (total - done) : 0.0;
  return "frame " + std::to_string(done) + " of " + std::to_string(total) + ", " +
         minutesAndSeconds(elapsedSeconds) + " elapsed, about " + minutesAndSeconds(left) + " left";
}

FrameWriter::~FrameWriter() {
  std::string unused;
  finish(unused);
}

bool FrameWriter::start(std::function<bool(std::string&)> write, std::string& error) {
  if (!finish(error)) {
    return false;
  }
  try {
    thread_ = std::thread([this, write] { ok_ = write(error_); });
  } catch (const std::system_error&) {
    // No thread to be had: the write is done before the next frame is drawn, as without one.
    ok_ = write(error_);
    return finish(error);
  }
  return true;
}

bool FrameWriter::finish(std::string& error) {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (!ok_) {
    error = error_;
  }
  return ok_;
}
