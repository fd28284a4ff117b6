// Reading ".poly" model files: a pure parser over the file's bytes and a thin file-reading edge.
#include "model.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <system_error>

namespace {

// Tokens live in an 80-character buffer with its terminator in the file format's definition.
constexpr size_t kMaxTokenLength = 79;

// The fewest bytes a record can take: "v" and a blank, then six one-digit numbers separated by one
// character each (a sign also separates numbers); "f", a blank and three numbers likewise.
constexpr int64_t kMinVertexRecordBytes = 13;
constexpr int64_t kMinFaceRecordBytes = 7;

// Whitespace as the classic locale defines it: space, tab, line feed, vertical tab, form feed, carriage
// return. A table, since the tokenizer asks for every byte of the file.
constexpr std::array<bool, 256> kSpaceTable = [] {
  std::array<bool, 256> table{};
  for (const unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
    table[c] = true;
  }
  return table;
}();
inline bool isSpace(char c) {
  return kSpaceTable[static_cast<unsigned char>(c)];
}
inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the text the way formatted stream extraction does: tokens end at whitespace, numbers end at
// the first character that cannot continue them, and a number that fails ends the parse.
class Reader {
 public:
  explicit Reader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  // Skips whitespace and returns the next token; false at the end of the text.
  bool token(std::string_view& out) {
    skipSpace();
    if (p_ == end_) {
      return false;
    }
    const char* start = p_;
    const char* p = start;
    while (p != end_ && !isSpace(*p)) {
      ++p;
    }
    p_ = p;
    out = std::string_view(start, static_cast<size_t>(p - start));
    return true;
  }

  // A decimal integer with an optional sign that fits in 32 bits. from_chars finds where the digits end,
  // as extraction does; it takes a minus sign but not a plus, so a plus is passed over if a digit follows.
  bool readInt(int& value) {
    skipSpace();
    const char* first = p_;
    if (first != end_ && *first == '+') {
      ++first;
      if (first == end_ || !isDigit(*first)) {
        return false;
      }
    }
    const auto [ptr, ec] = std::from_chars(first, end_, value);
    p_ = ptr;
    return ec == std::errc();
  }

  // A decimal float: optional sign, digits with at most one point, an optional exponent. from_chars finds
  // the extent. Where extraction's would be longer, the number fails for extraction but not here: "1e" or
  // "1e+", where extraction takes the "e" (and sign) and then finds no exponent digits. Here the number
  // ends before the "e", and what is read next fails instead: a number cannot start with "e", nor can a
  // record token. So the file is refused either way.
  bool readFloat(float& value) {
    skipSpace();
    const char* const start = p_;
    const char* mantissa = start;
    if (mantissa != end_ && (*mantissa == '+' || *mantissa == '-')) {
      ++mantissa;
    }
    // Extraction takes no "inf", "nan" or second sign, which from_chars would.
    if (mantissa == end_ || !(isDigit(*mantissa) || *mantissa == '.')) {
      return false;
    }
    const char* const first = *start == '+' ? start + 1 : start;
    const auto [ptr, ec] = std::from_chars(first, end_, value, std::chars_format::general);
    p_ = ptr;
    if (ec == std::errc::result_out_of_range && underflows(first, ptr)) {
      value = *start == '-' ? -0.0f : 0.0f;
      return true;
    }
    return ec == std::errc();
  }

 private:
  // Works on a local copy: a store to p_ could alias the text, which would force a reload per character.
  void skipSpace() {
    const char* p = p_;
    while (p != end_ && isSpace(*p)) {
      ++p;
    }
    p_ = p;
  }

  // from_chars calls both overflow and underflow out of range. Extraction fails on overflow, but keeps an
  // underflow as strtof rounds it: zero with the number's sign. Out-of-range numbers lie far from 1 on either
  // side (at least 3.4e38, below 7.1e-46), so the power of ten of the first significant digit tells which.
  // The number [first, last) has one, as zero is never out of range.
  static bool underflows(const char* first, const char* last) {
    const char* p = first;
    if (p != last && (*p == '+' || *p == '-')) {
      ++p;
    }
    int64_t power = 0;
    bool significant = false;
    for (; p != last && isDigit(*p); ++p) {
      power += significant;
      significant = significant || *p != '0';
    }
    if (p != last && *p == '.') {
      for (++p; p != last && isDigit(*p); ++p) {
        power -= !significant;
        significant = significant || *p != '0';
      }
    }
    if (p != last && (*p == 'e' || *p == 'E')) {
      ++p;
      const bool negative = *p == '-';
      p += *p == '-' || *p == '+';
      // Past a trillion the exponent's sign alone decides, whatever the mantissa's length.
      int64_t exponent = 0;
      for (; p != last; ++p) {
        exponent = std::min<int64_t>(exponent * 10 + (*p - '0'), 1'000'000'000'000);
      }
      power += negative ? -exponent : exponent;
    }
    return power < 0;
  }

  const char* p_;
  const char* end_;
};

bool equalsIgnoringCase(std::string_view token, std::string_view keyword) {
  if (token.size() != keyword.size()) {
    return false;
  }
  for (size_t i = 0; i < token.size(); ++i) {
    char c = token[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != keyword[i]) {
      return false;
    }
  }
  return true;
}

struct Header {
  int vertexCount;
  int faceCount;
};

bool readHeader(Reader& reader, Header& header) {
  std::string_view token;
  return reader.token(token) && equalsIgnoringCase(token, "vertices:") &&
         reader.readInt(header.vertexCount) && reader.token(token) && equalsIgnoringCase(token, "faces:") &&
         reader.readInt(header.faceCount);
}

bool readVertex(Reader& reader, ModelVertex& v) {
  return reader.readFloat(v.x) && reader.readFloat(v.y) && reader.readFloat(v.z) &&
         reader.readFloat(v.extra[0]) && reader.readFloat(v.extra[1]) && reader.readFloat(v.extra[2]);
}

// Face numbers count from 1 and must name one of the declared vertices.
bool readFace(Reader& reader, int vertexCount, ModelFace& f) {
  for (int& index : f.vertexIndex) {
    int number = 0;
    if (!reader.readInt(number) || number < 1 || number > vertexCount) {
      return false;
    }
    index = number - 1;
  }
  return true;
}

// Fills the model's arrays from the records; true when exactly the declared records were read.
bool readRecords(Reader& reader, Model& model) {
  int vertexSlot = 0, faceSlot = 0;
  std::string_view token;
  while (reader.token(token)) {
    if (token.size() > kMaxTokenLength) {
      return false;
    }
    if (token[0] == 'v') {
      if (vertexSlot == model.vertexCount || !readVertex(reader, model.vertices[vertexSlot])) {
        return false;
      }
      ++vertexSlot;
    } else if (token[0] == 'f') {
      if (faceSlot == model.faceCount || !readFace(reader, model.vertexCount, model.faces[faceSlot])) {
        return false;
      }
      ++faceSlot;
    } else {
      return false;
    }
  }
  return vertexSlot == model.vertexCount && faceSlot == model.faceCount;
}

Model* allocateModel(const Header& header) {
  Model* model = new (std::nothrow) Model{nullptr, nullptr, header.vertexCount, header.faceCount};
  if (!model) {
    return nullptr;
  }
  model->vertices = new (std::nothrow) ModelVertex[static_cast<size_t>(header.vertexCount)];
  model->faces = new (std::nothrow) ModelFace[static_cast<size_t>(header.faceCount)];
  if (!model->vertices || !model->faces) {
    freeModel(model);
    return nullptr;
  }
  return model;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct FileBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  bool ok = false;
};

// Reads the whole file into a buffer of exactly its size. The size known beforehand is only a hint: a file
// that is not regular, or that grows meanwhile, is read on in growing chunks. A read error ends the content
// there, as it ends extraction from a stream.
FileBytes readAll(FILE* file) {
  constexpr size_t kChunk = 1 << 16;
  FileBytes bytes;
  struct stat info {};
  size_t capacity = kChunk;
  if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0) {
    capacity = static_cast<size_t>(info.st_size);
  }
  int pending = EOF;
  for (;;) {
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) {
      return bytes;
    }
    if (bytes.size != 0) {
      std::memcpy(grown.get(), bytes.data.get(), bytes.size);
    }
    bytes.data = std::move(grown);
    if (pending != EOF) {
      bytes.data[bytes.size++] = static_cast<char>(pending);
    }
    bytes.size += std::fread(bytes.data.get() + bytes.size, 1, capacity - bytes.size, file);
    // A full buffer may or may not be the whole file; only another read tells.
    if (bytes.size < capacity || (pending = std::fgetc(file)) == EOF) {
      bytes.ok = true;
      return bytes;
    }
    capacity = std::max(2 * capacity, kChunk);
  }
}

void reportNotExpectedFormat(const char* path) {
  std::cout << "Error: Model \"" << path << "\" not of expected format." << std::endl;
}

}  // namespace

PolyParse parsePoly(std::string_view text) {
  const PolyParse refused{nullptr, PolyStatus::NotExpectedFormat};
  Reader reader(text);
  Header header{};
  if (!readHeader(reader, header) || header.vertexCount < 0 || header.faceCount < 0) {
    return refused;
  }
  // A count the text cannot hold would only make a large allocation fail later, or worse succeed.
  const int64_t leastBytes =
      header.vertexCount * kMinVertexRecordBytes + header.faceCount * kMinFaceRecordBytes;
  if (leastBytes > static_cast<int64_t>(text.size())) {
    return refused;
  }
  Model* model = allocateModel(header);
  if (!model) {
    return refused;
  }
  if (!readRecords(reader, *model)) {
    freeModel(model);
    return refused;
  }
  return {model, PolyStatus::Ok};
}

Model* loadModel(const char* path) {
  File file(std::fopen(path, "rb"));
  if (!file) {
    std::cout << "Error: Could not load model \"" << path << "\"" << std::endl;
    return nullptr;
  }
  FileBytes bytes = readAll(file.get());
  file.reset();
  if (!bytes.ok) {
    reportNotExpectedFormat(path);
    return nullptr;
  }
  PolyParse parsed = parsePoly(std::string_view(bytes.data.get(), bytes.size));
  if (parsed.status != PolyStatus::Ok) {
    reportNotExpectedFormat(path);
    return nullptr;
  }
  return parsed.model;
}

void freeModel(Model* model) {
  if (!model) {
    return;
  }
  delete[] model->vertices;
  delete[] model->faces;
  delete model;
}
