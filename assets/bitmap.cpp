// Reading 24-bit BMP images: a decoder over any byte source and a thin file edge that prints the lines.
#include "bitmap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "loader_console.h"

namespace {

constexpr size_t kHeaderBytes = 54;
// Where the header fields the loader reads end; a file shorter than one of them has not given that field.
constexpr size_t kWidthEnd = 22;
constexpr size_t kHeightEnd = 26;
constexpr size_t kBitsEnd = 30;
constexpr size_t kOffBitsAt = 10;
constexpr size_t kWidthAt = 18;
constexpr size_t kHeightAt = 22;
constexpr size_t kPlanesAt = 26;
constexpr size_t kBitsAt = 28;

uint16_t u16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t u32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

class MemorySource final : public ByteSource {
 public:
  MemorySource(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}
  size_t read(unsigned char* out, size_t count) override {
    const size_t n = count < size_ - at_ ? count : size_ - at_;
    if (n > 0) {
      std::memcpy(out, bytes_ + at_, n);
    }
    at_ += n;
    return n;
  }
  void skip(uint32_t count) override { at_ += count < size_ - at_ ? count : size_ - at_; }
  uint64_t remaining() override { return size_ - at_; }

 private:
  const unsigned char* bytes_;
  size_t size_;
  size_t at_ = 0;
};

class FileSource final : public ByteSource {
 public:
  // size: the file's length in bytes.
  FileSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}
  size_t read(unsigned char* out, size_t count) override { return std::fread(out, 1, count, file_); }
  // Seeking past the end is allowed; the next read then delivers nothing.
  void skip(uint32_t count) override { std::fseek(file_, static_cast<long>(count), SEEK_CUR); }
  uint64_t remaining() override {
    const long at = std::ftell(file_);
    return at < 0 || static_cast<uint64_t>(at) > size_ ? 0 : size_ - static_cast<uint64_t>(at);
  }

 private:
  std::FILE* file_;
  uint64_t size_;
};

// The bytes of the file really there: a hole reads as zeros but costs its writer nothing, so a file is
// taken to end where its first hole begins (its end, on a file system that keeps no holes).
uint64_t bytesThere(int fd, const struct stat& info) {
  const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
  ::lseek(fd, 0, SEEK_SET);
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  return hole < 0 ? size : std::min(size, static_cast<uint64_t>(hole));
}

// A side above the int range is a negative BMP dimension (a negative height marks a top-down file) and
// no size a texture can have; the product must fit the 32 bits the buffer size is computed in.
bool fitsBuffer(uint32_t width, uint32_t height) {
  if (width > INT32_MAX || height > INT32_MAX) {
    return false;
  }
  return static_cast<uint64_t>(width) * height * 4 <= UINT32_MAX;
}

// The bytes of pixel data an image needs: every stored row, without the fill after the last one.
uint64_t pixelDataBytes(uint32_t width, uint32_t height) {
  const uint64_t packed = uint64_t{width} * 3;
  return height == 0 || packed == 0 ? 0 : (packed + (4 - packed % 4) % 4) * (height - 1) + packed;
}

// Turns the first count packed BGR pixels of row into RGBA in place. It works from the last pixel back:
// a pixel's four bytes then only cover packed bytes of pixels already moved.
void widenRow(unsigned char* row, size_t count) {
  for (size_t i = count; i-- > 0;) {
    const unsigned char blue = row[3 * i];
    const unsigned char green = row[3 * i + 1];
    const unsigned char red = row[3 * i + 2];
    row[4 * i] = red;
    row[4 * i + 1] = green;
    row[4 * i + 2] = blue;
    row[4 * i + 3] = 255;
  }
}

// Reads each stored row straight into its place in pixels and widens it. Stored rows are padded to a
// multiple of 4 bytes; the fill after the last row is not needed. False when the data ends early.
bool readRows(ByteSource& source, uint32_t width, uint32_t height, unsigned char* pixels) {
  const size_t packedBytes = static_cast<size_t>(width) * 3;
  // Rows of no pixels hold no bytes: do not walk up to two billion of them.
  if (packedBytes == 0) {
    return true;
  }
  const uint32_t fill = static_cast<uint32_t>((4 - packedBytes % 4) % 4);
  for (uint32_t y = 0; y < height; ++y) {
    if (y > 0) {
      source.skip(fill);
    }
    unsigned char* row = pixels + static_cast<size_t>(y) * width * 4;
    const size_t got = source.read(row, packedBytes);
    widenRow(row, got / 3);
    if (got < packedBytes) {
      return false;
    }
  }
  return true;
}

void printOutcome(const char* path, const BitmapImage& image, const BmpDecode& result) {
  if (result.widthRead) {
    std::printf("Width of %s: %lu\n", path, static_cast<unsigned long>(image.width));
  }
  if (result.heightRead) {
    std::printf("Height of %s: %lu\n", path, static_cast<unsigned long>(image.height));
  }
  switch (result.status) {
    case BmpStatus::Ok:
      break;
    case BmpStatus::PlanesNotOne:
      std::printf("Planes from %s is not 1: %u\n", path, result.fieldValue);
      break;
    case BmpStatus::BitsNotTwentyFour:
      std::printf("Bpp from %s is not 24: %u\n", path, result.fieldValue);
      break;
    case BmpStatus::TooLarge:
    case BmpStatus::OutOfMemory:
      std::printf("Error allocating memory for color-corrected image data");
      break;
    case BmpStatus::HeaderCut:
    case BmpStatus::PixelDataCut:
      std::printf("Error reading image data from %s.\n", path);
      break;
  }
}

}  // namespace

BmpDecode decodeBmp(ByteSource& source, BitmapImage& image, uint32_t maxSide) {
  BmpDecode result{BmpStatus::Ok, false, false, 0};
  unsigned char header[kHeaderBytes];
  const size_t got = source.read(header, kHeaderBytes);
  if (got >= kWidthEnd) {
    image.width = u32(header + kWidthAt);
    result.widthRead = true;
  }
  if (got >= kHeightEnd) {
    image.height = u32(header + kHeightAt);
    result.heightRead = true;
  }
  if (got < kBitsEnd) {
    result.status = BmpStatus::HeaderCut;
    return result;
  }
  const unsigned planes = u16(header + kPlanesAt);
  if (planes != 1) {
    result.status = BmpStatus::PlanesNotOne;
    result.fieldValue = planes;
    return result;
  }
  const unsigned bits = u16(header + kBitsAt);
  if (bits != 24) {
    result.status = BmpStatus::BitsNotTwentyFour;
    result.fieldValue = bits;
    return result;
  }

  image.pixels = nullptr;
  if (!fitsBuffer(image.width, image.height) || image.width > maxSide || image.height > maxSide) {
    result.status = BmpStatus::TooLarge;
    return result;
  }
  // Larger info headers and colour tables put the pixels further on; an offset inside the 54 bytes
  // already read (0 where a writer left it unset) means they follow straight on.
  if (got == kHeaderBytes) {
    const uint32_t offset = u32(header + kOffBitsAt);
    if (offset > kHeaderBytes) {
      source.skip(offset - static_cast<uint32_t>(kHeaderBytes));
    }
  }
  // A header costs nothing to write: the size it claims is believed only as far as the bytes are there.
  if (pixelDataBytes(image.width, image.height) > source.remaining()) {
    result.status = BmpStatus::PixelDataCut;
    return result;
  }
  image.pixels =
      static_cast<unsigned char*>(std::malloc(static_cast<size_t>(image.width) * image.height * 4));
  if (!image.pixels) {
    result.status = BmpStatus::OutOfMemory;
    return result;
  }
  if (!readRows(source, image.width, image.height, image.pixels)) {
    result.status = BmpStatus::PixelDataCut;
  }
  return result;
}

BmpDecode decodeBmp(const unsigned char* bytes, size_t size, BitmapImage& image, uint32_t maxSide) {
  MemorySource source(bytes, size);
  return decodeBmp(source, image, maxSide);
}

int loadBitmap(const char* path, BitmapImage& image, uint32_t maxSide) {
  // Opened without waiting for a writer, and read only when it is a regular file: a FIFO or a device in
  // its place would block the program or never end.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat info {};
  std::FILE* file =
      fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::fdopen(fd, "rb") : nullptr;
  if (!file) {
    if (fd >= 0) {
      ::close(fd);
    }
    if (loaderLinesShown()) {
      std::printf("File Not Found : %s\n", path);
    }
    return 0;
  }
  FileSource source(file, bytesThere(fd, info));
  const BmpDecode result = decodeBmp(source, image, maxSide);
  std::fclose(file);
  if (loaderLinesShown()) {
    printOutcome(path, image, result);
  }
  return result.status == BmpStatus::Ok ? 1 : 0;
}
