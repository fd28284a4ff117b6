// Turntables: the frames' yaws, their file names from a printf-style pattern, the progress line, and writing
// each frame while the next is drawn.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>

// An output name with exactly one integer field, as "turn-%03d.png": the text around the field ("%%" in it
// already turned into "%") and the field itself.
struct FrameNamePattern {
  std::string before;
  std::string field;  // "%", flags from "-+ 0#", a width and a precision of at most 3 digits, then d, i or u
  std::string after;
};

// Splits pattern into its one integer field and the text around it. Returns false and fills error (a
// sentence) when it has none, more than one, or another % conversion.
bool parseFrameNamePattern(std::string_view pattern, FrameNamePattern& result, std::string& error);

// The file name of frame number frame (0 first).
std::string frameFileName(const FrameNamePattern& pattern, int frame);

// The camera yaw of frame number frame of frames, stepping by 360 / frames degrees from startYaw.
float turntableYaw(float startYaw, int frame, int frames);

// "frame 3 of 36, 0:02 elapsed, about 0:22 left" after done of total frames took elapsedSeconds.
std::string progressLine(int done, int total, double elapsedSeconds);

// Runs each frame's write on a thread of its own while the caller draws the next frame: one write in flight,
// so memory holds two pictures at most and the writes happen one after another, in order.
class FrameWriter {
 public:
  FrameWriter() = default;
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Waits for the write before to end, then starts write (which returns false and fills its error on
  // failure) on a thread, or here when no thread can be had. Returns false, with error set, when the write
  // before failed, or this one did here; write is then not started.
  bool start(std::function<bool(std::string&)> write, std::string& error);
  // Waits for the write in flight to end. Returns false, with error set, when it failed.
  bool finish(std::string& error);

 private:
  std::thread thread_;
  bool ok_ = true;
  std::string error_;
};
