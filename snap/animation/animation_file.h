// Animated pictures: frames written one after another into one animated WebP or GIF that loops for ever.
// No GL: frames come in as pictures in memory.
#pragma once

#include <memory>
#include <string>

#include "rgb_image.h"

enum class AnimationFormat { WebP, Gif };

// One animated file, written whole or not at all (through OutputFile): frames go in one at a time and only
// the encoder's state and what is already encoded stay in memory, a few frames' worth, however many there
// are. A WebP is lossless, with alpha where the frames have it; a GIF takes a palette of 256 colours a frame
// from libimagequant, dithered, with pixels under half opacity transparent.
class AnimationFile {
 public:
  AnimationFile();
  ~AnimationFile();
  AnimationFile(const AnimationFile&) = delete;
  AnimationFile& operator=(const AnimationFile&) = delete;

  // Prepares path for an animation in format of frames width x height (each from 1 to 16384), each shown
  // for 1 / framesPerSecond seconds (1 to 50). Returns false when it cannot be written; error() says why.
  bool open(const std::string& path, AnimationFormat format, int width, int height, double framesPerSecond);
  // Encodes the next frame, which must be of the size open() was given. Returns false once anything has
  // failed.
  bool addFrame(const RgbImage& frame);
  // Puts the file in place with every frame added, on disk. Returns false when anything has failed; what
  // was at the path is then as before.
  bool commit();
  // One line saying why the first failure happened; empty before.
  const std::string& error() const { return error_; }

  class Encoder;

 private:
  std::unique_ptr<Encoder> encoder_;
  std::string error_;
};
