// Reading ".poly" model files: a pure parser over the file's text, whole, in chunks or in pieces on threads
// of their own, and a thin edge that reads a regular file whole or anything else in chunks, as far as it is
// parsed.
#include "model.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <system_error>

#include "loader_console.h"

namespace {

// Tokens live in an 80-character buffer with its terminator in the file format's definition.
constexpr size_t kMaxTokenLength = 79;

// Streamed text is held in this much memory; a number longer than that is refused.
constexpr size_t kStreamBuffer = 64 * 1024;
// Most numbers are shorter than this, and are parsed once; longer ones again with more of the text.
constexpr size_t kNumberFirstLook = 64;

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

// Text held whole in memory, a string or a mapped file: nothing more arrives.
class WholeText {
 public:
  static constexpr bool kWhole = true;
  bool ended() const { return true; }
  bool more(const char*&, const char*&) { return false; }
};

// Text that arrives in chunks, from a pipe or a device, held in a fixed buffer: before each read the unread
// rest moves to the front, so only what the parser still looks at is kept.
class StreamedText {
 public:
  static constexpr bool kWhole = false;
  StreamedText(PolyChunkReader read, void* source, char* buffer, size_t capacity)
      : read_(read), source_(source), buffer_(buffer), capacity_(capacity) {}

  // True once the source has said its text ends.
  bool ended() const { return ended_; }

  // Keeps the unread text [p, end) and appends what the source gives next. False, with nothing
  // added, at the end of the text or when the unread text fills the buffer.
  bool more(const char*& p, const char*& end) {
    const size_t kept = static_cast<size_t>(end - p);
    if (ended_ || kept == capacity_) {
      return false;
    }
    std::memmove(buffer_, p, kept);
    const size_t got = read_(source_, buffer_ + kept, capacity_ - kept);
    ended_ = got == 0;
    p = buffer_;
    end = buffer_ + kept + got;
    return got != 0;
  }

 private:
  PolyChunkReader read_;
  void* source_;
  char* buffer_;
  size_t capacity_;
  bool ended_ = false;
};

// A number's extent depends on up to three characters after it ("1e+5" against "1e+x"). A streamed number
// counts as ended only with that many characters buffered after it.
constexpr ptrdiff_t kNumberLookahead = 3;

// Reads the text the way formatted stream extraction does: tokens end at whitespace, numbers end at
// the first character that cannot continue them, and a number that fails ends the parse. Over streamed
// text it reads more whenever a token or number might go on past what is buffered.
template <class Text>
class Reader {
 public:
  Reader(std::string_view text, Text& source)
      : p_(text.data()), end_(text.data() + text.size()), text_(source) {}

  // Where reading goes on: the first character not yet read.
  const char* position() const { return p_; }

  // Skips whitespace and returns the next token; false at the end of the text. A token longer than
  // kMaxTokenLength comes back cut to kMaxTokenLength + 1 characters, enough to refuse it, so no more of
  // it is ever read.
  bool token(std::string_view& out) {
    skipSpace();
    if (p_ == end_) {
      return false;
    }
    buffer(kMaxTokenLength + 1);
    const char* start = p_;
    const char* last =
        static_cast<size_t>(end_ - start) > kMaxTokenLength ? start + kMaxTokenLength + 1 : end_;
    const char* p = start;
    while (p != last && !isSpace(*p)) {
      ++p;
    }
    p_ = p;
    out = std::string_view(start, static_cast<size_t>(p - start));
    return true;
  }

  // A decimal integer with an optional sign that fits in 32 bits. from_chars finds where the digits end,
  // as extraction does; it takes a minus sign but not a plus, so a plus is passed over if a digit follows.
  bool readInt(int& value) {
    return number([&] {
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
    });
  }

  // A decimal float: optional sign, digits with at most one point, an optional exponent. from_chars finds
  // the extent. Where extraction's would be longer, the number fails for extraction but not here: "1e" or
  // "1e+", where extraction takes the "e" (and sign) and then finds no exponent digits. Here the number
  // ends before the "e", and what is read next fails instead: a number cannot start with "e", nor can a
  // record token. So the file is refused either way.
  bool readFloat(float& value) {
    return number([&] {
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
    });
  }

 private:
  // Works on a local copy: a store to p_ could alias the text, which would force a reload per character.
  void skipSpace() {
    for (;;) {
      const char* p = p_;
      while (p != end_ && isSpace(*p)) {
        ++p;
      }
      p_ = p;
      if (p != end_ || !more()) {
        return;
      }
    }
  }

  bool more() {
    if constexpr (Text::kWhole) {
      return false;
    } else {
      return text_.more(p_, end_);
    }
  }

  // Reads until at least size characters are buffered from p_ on, or the text ends, or the buffer is full.
  void buffer(size_t size) {
    while (static_cast<size_t>(end_ - p_) < size && more()) {
    }
  }

  // Parses a number with parse, which moves p_ past it. Streamed, a number that reaches too near the end
  // of what is buffered is parsed again with twice as much; one that would not fit in the buffer fails.
  template <class Parse>
  bool number(Parse parse) {
    skipSpace();
    buffer(kNumberFirstLook);
    for (;;) {
      const char* const start = p_;
      const bool parsed = parse();
      if (Text::kWhole || text_.ended() || end_ - p_ >= kNumberLookahead) {
        return parsed;
      }
      p_ = start;
      const size_t buffered = static_cast<size_t>(end_ - p_);
      buffer(2 * buffered);
      if (static_cast<size_t>(end_ - p_) == buffered && !text_.ended()) {
        return false;
      }
    }
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
  Text& text_;
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

template <class Text>
bool readHeader(Reader<Text>& reader, Header& header) {
  std::string_view token;
  return reader.token(token) && equalsIgnoringCase(token, "vertices:") &&
         reader.readInt(header.vertexCount) && reader.token(token) && equalsIgnoringCase(token, "faces:") &&
         reader.readInt(header.faceCount);
}

template <class Text>
bool readVertex(Reader<Text>& reader, ModelVertex& v) {
  return reader.readFloat(v.x) && reader.readFloat(v.y) && reader.readFloat(v.z) &&
         reader.readFloat(v.extra[0]) && reader.readFloat(v.extra[1]) && reader.readFloat(v.extra[2]);
}

// Face numbers count from 1 and must name one of the declared vertices.
template <class Text>
bool readFace(Reader<Text>& reader, int vertexCount, ModelFace& f) {
  for (int& index : f.vertexIndex) {
    int number = 0;
    if (!reader.readInt(number) || number < 1 || number > vertexCount) {
      return false;
    }
    index = number - 1;
  }
  return true;
}

// Makes room for one more record in array, which holds capacity of the count declared: twice the room,
// but never more than the count, so a completed array holds exactly the declared count.
template <class T>
bool grow(T*& array, int& capacity, int count) {
  const int grown =
      static_cast<int>(std::min<int64_t>(count, std::max<int64_t>(2 * int64_t{capacity}, 1024)));
  T* larger = new (std::nothrow) T[static_cast<size_t>(grown)];
  if (!larger) {
    return false;
  }
  std::copy_n(array, capacity, larger);
  delete[] array;
  array = larger;
  capacity = grown;
  return true;
}

// The arrays' room so far; the declared counts once a model's text is known to be long enough to hold them.
struct Capacity {
  int vertices;
  int faces;
};

// Fills the model's arrays from the records; true when exactly the declared records were read.
template <class Text>
bool readRecords(Reader<Text>& reader, Model& model, Capacity capacity) {
  int vertexSlot = 0, faceSlot = 0;
  std::string_view token;
  while (reader.token(token)) {
    if (token.size() > kMaxTokenLength) {
      return false;
    }
    if (token[0] == 'v') {
      if (vertexSlot == model.vertexCount ||
          (vertexSlot == capacity.vertices && !grow(model.vertices, capacity.vertices, model.vertexCount)) ||
          !readVertex(reader, model.vertices[vertexSlot])) {
        return false;
      }
      ++vertexSlot;
    } else if (token[0] == 'f') {
      if (faceSlot == model.faceCount ||
          (faceSlot == capacity.faces && !grow(model.faces, capacity.faces, model.faceCount)) ||
          !readFace(reader, model.vertexCount, model.faces[faceSlot])) {
        return false;
      }
      ++faceSlot;
    } else {
      return false;
    }
  }
  return vertexSlot == model.vertexCount && faceSlot == model.faceCount;
}

Model* allocateModel(const Header& header, Capacity capacity) {
  Model* model = new (std::nothrow) Model{nullptr, nullptr, header.vertexCount, header.faceCount};
  if (!model) {
    return nullptr;
  }
  model->vertices = new (std::nothrow) ModelVertex[static_cast<size_t>(capacity.vertices)];
  model->faces = new (std::nothrow) ModelFace[static_cast<size_t>(capacity.faces)];
  if (!model->vertices || !model->faces) {
    freeModel(model);
    return nullptr;
  }
  return model;
}

// Whole text of a known length sizes the arrays at once, once it is known to be long enough for the
// declared counts: a count it cannot hold would only make a large allocation fail later, or worse succeed.
// Streamed text's length is not known, so its arrays grow with the records that arrive.
template <class Text>
PolyParse parseText(Reader<Text>& reader, size_t wholeLength) {
  const PolyParse refused{nullptr, PolyStatus::NotExpectedFormat};
  Header header{};
  if (!readHeader(reader, header) || header.vertexCount < 0 || header.faceCount < 0) {
    return refused;
  }
  Capacity capacity{0, 0};
  if constexpr (Text::kWhole) {
    const int64_t leastBytes =
        header.vertexCount * kMinVertexRecordBytes + header.faceCount * kMinFaceRecordBytes;
    if (leastBytes > static_cast<int64_t>(wholeLength)) {
      return refused;
    }
    capacity = {header.vertexCount, header.faceCount};
  }
  Model* model = allocateModel(header, capacity);
  if (!model) {
    return refused;
  }
  if (!readRecords(reader, *model, capacity)) {
    freeModel(model);
    return refused;
  }
  return {model, PolyStatus::Ok};
}

// One piece of the records of a whole text, parsed on a thread of its own into arrays of its own.
struct Piece {
  std::string_view text;
  int vertexCount;  // the declared counts, which no piece may pass
  int faceCount;
  ModelVertex* vertices = nullptr;
  ModelFace* faces = nullptr;
  int vertexCapacity = 0, faceCapacity = 0;
  int verticesRead = 0, facesRead = 0;
  bool ok = false;
  bool ownsArrays = true;  // false for the first piece, which fills the model's own arrays

  ~Piece() {
    if (ownsArrays) {
      delete[] vertices;
      delete[] faces;
    }
  }
};

// The records of piece, as readRecords reads them. A piece that does not start at a record or ends inside
// one fails, as one whose text is not of the expected format does.
void parsePiece(Piece& piece) {
  WholeText whole;
  Reader<WholeText> reader(piece.text, whole);
  std::string_view token;
  while (reader.token(token)) {
    if (token.size() > kMaxTokenLength) {
      return;
    }
    if (token[0] == 'v') {
      if (piece.verticesRead == piece.vertexCount ||
          (piece.verticesRead == piece.vertexCapacity &&
           !grow(piece.vertices, piece.vertexCapacity, piece.vertexCount)) ||
          !readVertex(reader, piece.vertices[piece.verticesRead])) {
        return;
      }
      ++piece.verticesRead;
    } else if (token[0] == 'f') {
      if (piece.facesRead == piece.faceCount ||
          (piece.facesRead == piece.faceCapacity &&
           !grow(piece.faces, piece.faceCapacity, piece.faceCount)) ||
          !readFace(reader, piece.vertexCount, piece.faces[piece.facesRead])) {
        return;
      }
      ++piece.facesRead;
    } else {
      return;
    }
  }
  piece.ok = true;
}

void* parsePieceOnThread(void* piece) {
  parsePiece(*static_cast<Piece*>(piece));
  return nullptr;
}

// Each piece of records ends just after a line feed: no token or number reaches across it, so where every
// piece parses, the pieces hold the records of the whole text in order.
constexpr size_t kMaxPieces = 64;
// Less text than this a piece is parsed about as fast as a thread starts: loading uses fewer threads then.
constexpr size_t kLeastPieceBytes = 1 << 20;

size_t splitAtLines(std::string_view records, size_t parts, std::string_view* pieces) {
  size_t count = 0;
  size_t start = 0;
  for (size_t part = 1; part <= parts && start < records.size(); ++part) {
    size_t end = records.size();
    if (part < parts) {
      const size_t newline = records.find('\n', std::max(start, records.size() / parts * part));
      end = newline == std::string_view::npos ? records.size() : newline + 1;
    }
    pieces[count++] = records.substr(start, end - start);
    start = end;
  }
  return count;
}

// Parses the pieces, the first on this thread, the others on threads of their own (or here, where a thread
// cannot start). True when every piece parsed.
bool parsePieces(Piece* pieces, size_t count) {
  pthread_t threads[kMaxPieces];
  bool started[kMaxPieces] = {};
  for (size_t i = 1; i < count; ++i) {
    started[i] = pthread_create(&threads[i], nullptr, parsePieceOnThread, &pieces[i]) == 0;
  }
  parsePiece(pieces[0]);
  for (size_t i = 1; i < count; ++i) {
    if (started[i]) {
      pthread_join(threads[i], nullptr);
    } else {
      parsePiece(pieces[i]);
    }
  }
  return std::all_of(pieces, pieces + count, [](const Piece& piece) { return piece.ok; });
}

// Copies the records of the pieces after the first, which filled model's arrays from their start, behind
// its records. False where the pieces do not hold exactly the declared records.
bool joinPieces(Model& model, const Piece* pieces, size_t count) {
  int64_t vertices = 0, faces = 0;
  for (size_t i = 0; i < count; ++i) {
    vertices += pieces[i].verticesRead;
    faces += pieces[i].facesRead;
  }
  if (vertices != model.vertexCount || faces != model.faceCount) {
    return false;
  }
  ModelVertex* vertex = model.vertices + pieces[0].verticesRead;
  ModelFace* face = model.faces + pieces[0].facesRead;
  for (size_t i = 1; i < count; ++i) {
    vertex = std::copy_n(pieces[i].vertices, pieces[i].verticesRead, vertex);
    face = std::copy_n(pieces[i].faces, pieces[i].facesRead, face);
  }
  return true;
}

size_t readFromFile(void* fd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t got = ::read(*static_cast<const int*>(fd), buffer, size);
    // A read error ends the text there, as it ends extraction from a stream.
    if (got >= 0 || errno != EINTR) {
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
  }
}

// Fills buffer with the file's next bytes, up to size; returns how many, fewer only at its end or an error.
size_t readAll(int fd, char* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const size_t more = readFromFile(&fd, buffer + got, size - got);
    if (more == 0) {
      break;
    }
    got += more;
  }
  return got;
}

// Whether the first bytes of a file hold the header of a model file, so that reading the rest can pay.
constexpr size_t kHeaderLook = 64 * 1024;
bool startsWithHeader(std::string_view text) {
  WholeText whole;
  Reader<WholeText> reader(text, whole);
  Header header{};
  return readHeader(reader, header);
}

// A regular file is read whole and parsed from memory when its first bytes hold a header, its blocks are all
// there (a file with holes would cost memory it does not have on disk) and it is no larger than a quarter
// of the memory. Anything else, a pipe or a device, a file whose size the system does not know (as in
// /proc), a sparse or huge one, is read in chunks only as far as the parse goes, so a file that is refused is
// refused after a few bytes. Read, not mapped: a file cut short while it is read only ends early, where a
// mapping would raise SIGBUS.
PolyParse parseFile(int fd, size_t threads) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
      info.st_blocks * 512 >= info.st_size) {
    const auto size = static_cast<size_t>(info.st_size);
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const bool fits =
        pages <= 0 || pageSize <= 0 || size / static_cast<size_t>(pageSize) <= static_cast<size_t>(pages) / 4;
    const std::unique_ptr<char[]> text(fits ? new (std::nothrow) char[size] : nullptr);
    if (text) {
      size_t got = readAll(fd, text.get(), std::min(size, kHeaderLook));
      if (startsWithHeader(std::string_view(text.get(), got)) || got < kHeaderLook) {
        got += readAll(fd, text.get() + got, size - got);
        char more = 0;
        // A file that grew since its size was taken is read on as a stream, from its start.
        if (got < size || readFromFile(&fd, &more, 1) == 0) {
          return parsePolyInPieces(std::string_view(text.get(), got),
                                   std::min(threads, got / kLeastPieceBytes));
        }
      }
      if (::lseek(fd, 0, SEEK_SET) != 0) {
        return {nullptr, PolyStatus::NotExpectedFormat};
      }
    }
  }
  return parsePolyChunks(readFromFile, &fd);
}

void reportNotExpectedFormat(const char* path) {
  if (!loaderLinesShown()) {
    return;
  }
  std::cout << "Error: Model \"" << path << "\" not of expected format." << std::endl;
}

}  // namespace

PolyParse parsePoly(std::string_view text) {
  WholeText whole;
  Reader<WholeText> reader(text, whole);
  return parseText(reader, text.size());
}

PolyParse parsePolyInPieces(std::string_view text, size_t parts) {
  WholeText whole;
  Reader<WholeText> reader(text, whole);
  Header header{};
  if (parts <= 1 || !readHeader(reader, header) || header.vertexCount < 0 || header.faceCount < 0 ||
      header.vertexCount * kMinVertexRecordBytes + header.faceCount * kMinFaceRecordBytes >
          static_cast<int64_t>(text.size())) {
    return parsePoly(text);
  }
  const std::string_view records = text.substr(static_cast<size_t>(reader.position() - text.data()));
  std::string_view texts[kMaxPieces];
  const size_t count = splitAtLines(records, std::min(parts, kMaxPieces), texts);
  Model* model = allocateModel(header, {header.vertexCount, header.faceCount});
  if (!model) {
    return {nullptr, PolyStatus::NotExpectedFormat};
  }
  Piece pieces[kMaxPieces];
  for (size_t i = 0; i < count; ++i) {
    pieces[i].text = texts[i];
    pieces[i].vertexCount = header.vertexCount;
    pieces[i].faceCount = header.faceCount;
  }
  pieces[0].vertices = model->vertices;
  pieces[0].faces = model->faces;
  pieces[0].vertexCapacity = header.vertexCount;
  pieces[0].faceCapacity = header.faceCount;
  pieces[0].ownsArrays = false;
  if (parsePieces(pieces, count) && joinPieces(*model, pieces, count)) {
    return {model, PolyStatus::Ok};
  }
  // A piece that fails may have been cut inside a record that spans lines: only the whole text tells.
  freeModel(model);
  return parsePoly(text);
}

PolyParse parsePolyChunks(PolyChunkReader read, void* source) {
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kStreamBuffer]);
  if (!buffer) {
    return {nullptr, PolyStatus::NotExpectedFormat};
  }
  StreamedText streamed(read, source, buffer.get(), kStreamBuffer);
  Reader<StreamedText> reader(std::string_view(buffer.get(), 0), streamed);
  return parseText(reader, 0);
}

Model* loadModel(const char* path) {
  return loadModelInParallel(path, 1);
}

Model* loadModelInParallel(const char* path, size_t threads) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (loaderLinesShown()) {
      std::cout << "Error: Could not load model \"" << path << "\"" << std::endl;
    }
    return nullptr;
  }
  const PolyParse parsed = parseFile(fd, threads);
  ::close(fd);
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

size_t processorCount() {
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<size_t>(online) : 1;
}
