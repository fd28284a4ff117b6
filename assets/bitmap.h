// Uncompressed 24-bit BMP images read into RGBA buffers ready to become textures.
#pragma once

#include <cstddef>
#include <cstdint>

struct BitmapImage {
  uint32_t width;         // pixels per row, as stored in the file
  uint32_t height;        // number of rows, as stored in the file
  unsigned char* pixels;  // width * height * 4 bytes, RGBA, bottom row first; malloc'd, freed by the owner
};

// Why a decode stopped.
enum class BmpStatus {
  Ok,
  HeaderCut,          // the file ends before the bits-per-pixel field
  PlanesNotOne,       // BmpDecode::fieldValue holds the planes field
  BitsNotTwentyFour,  // BmpDecode::fieldValue holds the bits-per-pixel field
  TooLarge,           // width * height * 4 does not fit in 32 bits, or a side reads as negative
  OutOfMemory,
  PixelDataCut,  // the file ends inside the pixel data
};

struct BmpDecode {
  BmpStatus status;
  bool widthRead;       // image.width was written from the file
  bool heightRead;      // image.height was written from the file
  unsigned fieldValue;  // the refused planes or bits-per-pixel value
};

// Where a decoder's bytes come from, in file order: memory for the decoder itself, a file for loadBitmap.
class ByteSource {
 public:
  // Copies up to count bytes into out and returns how many there were.
  virtual size_t read(unsigned char* out, size_t count) = 0;
  // Moves count bytes forward; moving past the end leaves nothing more to read.
  virtual void skip(uint32_t count) = 0;
  // How many bytes are left to read.
  virtual uint64_t remaining() = 0;

 protected:
  ~ByteSource() = default;
};

// No limit on an image's sides but the 32-bit size of its buffer.
constexpr uint32_t kAnySide = UINT32_MAX;

// Decodes a BMP from source into image. Writes width and height as soon as they are read and pixels as
// soon as it is allocated (null when the size is refused or malloc fails), and leaves every field it has
// not reached as it was. Pixel data starts at the file's pixel-data offset (byte 54 at the earliest) and
// each stored row's fill to a multiple of 4 bytes is skipped. A side above maxSide is TooLarge, and pixel
// data that the source does not hold in full is PixelDataCut, both before anything is allocated. After
// PixelDataCut with a buffer (the source ended earlier than it said) the pixels before the missing one are
// converted and the buffer is still the caller's to free.
BmpDecode decodeBmp(ByteSource& source, BitmapImage& image, uint32_t maxSide = kAnySide);
// The same over the bytes of a whole file in memory.
BmpDecode decodeBmp(const unsigned char* bytes, size_t size, BitmapImage& image, uint32_t maxSide = kAnySide);

// Reads the BMP file at path into image and writes its progress and error lines to standard output with
// printf (unless loaderLinesShown() is false). Returns 1 when the image was read completely, 0 otherwise.
// Only a regular file is read, and opening it never waits: anything else (a FIFO, a device) is reported
// as not found. The file is taken to end at its first hole: pixel data in a hole is data the file does
// not hold, refused before anything is allocated for it. Sides above maxSide (a GL context's texture limit)
// are refused as too large for memory. The record must hold null or a malloc'd buffer in pixels before the
// call: a missing file leaves the record untouched, and an earlier buffer in pixels is overwritten without
// being released.
int loadBitmap(const char* path, BitmapImage& image, uint32_t maxSide = kAnySide);
