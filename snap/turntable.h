// Turntables: the frames' yaws, their file names from a printf-style pattern, and the progress line.
#pragma once

#include <string>
#include <string_view>

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
