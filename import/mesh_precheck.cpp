// The pre-check: PLY headers, OFF counts and indices, binary STL triangle counts.
#include "mesh_precheck.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ply_header.h"

namespace {

using Count = std::uint64_t;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Splits text into lines at line feeds; a carriage return before one belongs to the break.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  bool next(std::string_view& line) {
    if (rest_.empty()) {
      return false;
    }
    const size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    return true;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// Walks the whitespace-separated tokens of a line.
class Tokens {
 public:
  explicit Tokens(std::string_view line) : rest_(line) {}
  bool next(std::string_view& token) {
    size_t i = 0;
    while (i < rest_.size() && isBlank(rest_[i])) {
      ++i;
    }
    size_t end = i;
    while (end < rest_.size() && !isBlank(rest_[end])) {
      ++end;
    }
    token = rest_.substr(i, end - i);
    rest_ = rest_.substr(end);
    return !token.empty();
  }

 private:
  std::string_view rest_;
};

// The first few tokens of a line: enough to judge a header line, and bounded however long the line is.
std::vector<std::string_view> firstTokens(std::string_view line, size_t most) {
  std::vector<std::string_view> tokens;
  Tokens walk(line);
  std::string_view token;
  while (tokens.size() < most && walk.next(token)) {
    tokens.push_back(token);
  }
  return tokens;
}

// A count or index: decimal digits only, no sign.
bool parseCount(std::string_view token, Count& value) {
  if (token.empty() || token[0] < '0' || token[0] > '9') {
    return false;
  }
  const auto [end, status] = std::from_chars(token.data(), token.data() + token.size(), value);
  return status == std::errc() && end == token.data() + token.size();
}

// a * b + c, saturating, so that absurd counts compare as absurdly large.
Count mulAdd(Count a, Count b, Count c) {
  const Count most = ~Count{0};
  if (b != 0 && a > (most - c) / b) {
    return most;
  }
  return a * b + c;
}

std::string number(Count value) {
  return std::to_string(value);
}

// Every list must hold the items its length declares: assimp sizes the list by that length before reading.
// Text is walked token by token (at least two bytes per item), binary byte by byte. A body cut short, or
// a length assimp would read as a float, is left to assimp.
bool checkPlyLists(std::string_view body, const std::vector<PlyElement>& elements, bool ascii, bool bigEndian,
                   std::string& reason) {
  const auto isSigned = [](PlyType type) {
    return type == PlyType::Int8 || type == PlyType::Int16 || type == PlyType::Int32;
  };
  size_t at = 0;
  auto nextToken = [&](std::string_view& token) {
    while (at < body.size() && (isBlank(body[at]) || body[at] == '\n')) {
      ++at;
    }
    const size_t start = at;
    while (at < body.size() && !isBlank(body[at]) && body[at] != '\n') {
      ++at;
    }
    token = body.substr(start, at - start);
    return !token.empty();
  };
  // A length in binary; false when it is negative.
  auto binaryLength = [&](const PlyProperty& property, Count& length) {
    const int countSize = plyTypeSize(property.countType);
    length = 0;
    for (int i = 0; i < countSize; ++i) {
      length = length << 8 |
               static_cast<unsigned char>(body[at + static_cast<size_t>(bigEndian ? i : countSize - 1 - i)]);
    }
    at += static_cast<size_t>(countSize);
    return !isSigned(property.countType) || (length >> (8 * countSize - 1)) == 0;
  };
  for (const PlyElement& element : elements) {
    for (Count i = 0; i < element.count; ++i) {
      for (const PlyProperty& property : element.properties) {
        std::string_view token;
        Count length = 0;
        const size_t size = static_cast<size_t>(plyTypeSize(property.type));
        const bool floatCount =
            property.countType == PlyType::Float32 || property.countType == PlyType::Float64;
        if (ascii ? !nextToken(token)
                  : floatCount || body.size() - at < plyTypeSize(property.countType) + size) {
          return true;
        }
        if (property.countType == PlyType::None) {
          at += ascii ? 0 : size;
          continue;
        }
        if (ascii ? !parseCount(token, length) : !binaryLength(property, length)) {
          return true;
        }
        // Text needs no separator after its last item.
        const Count rest = body.size() - at;
        if (length > (ascii ? (rest + 1) / 2 : rest / size)) {
          reason = "a list in PLY element \"" + element.name + "\" " + number(i) + " declares " +
                   number(length) + " items, more than the file holds";
          return false;
        }
        for (Count k = 0; ascii && k < length && nextToken(token); ++k) {
        }
        at += ascii ? 0 : static_cast<size_t>(length) * size;
      }
    }
  }
  return true;
}

bool checkPly(std::string_view bytes, std::string& reason) {
  PlyHeader header;
  if (!readPlyHeader(bytes, header, reason)) {
    return false;
  }
  const std::vector<PlyElement>& elements = header.elements;
  const bool ascii = header.format == PlyFormat::Ascii;
  // Every element takes at least a byte per instance even without properties (a line in text).
  const Count body = header.body.size();
  Count least = 0;
  for (const PlyElement& element : elements) {
    Count each = 0;
    for (const PlyProperty& property : element.properties) {
      each += ascii ? 2
                    : static_cast<Count>(plyTypeSize(property.countType != PlyType::None ? property.countType
                                                                                         : property.type));
    }
    least = mulAdd(element.count, each > 0 ? each : 1, least);
  }
  // Text needs no separator after its last value.
  if (least > body + (ascii ? 1 : 0)) {
    reason = "its PLY header declares more elements than the file can hold (" + number(least) +
             " bytes at least, " + number(body) + " there)";
    return false;
  }
  return checkPlyLists(header.body, elements, ascii, header.format == PlyFormat::BinaryBigEndian, reason);
}

// OFF: a header word ending in "OFF", the vertex and face counts, a line per vertex, a line per face
// (its corner count, then the corners). Lines that are blank or start with '#' are skipped.
bool nextOffLine(Lines& lines, std::string_view& line) {
  while (lines.next(line)) {
    std::string_view token;
    if (Tokens(line).next(token) && token[0] != '#') {
      return true;
    }
  }
  return false;
}

bool isOffHeader(std::string_view word) {
  // [ST][C][N][4]OFF; the n-dimensional form puts another line first and is left to the importer.
  if (word.size() < 3 || word.size() > 8 || word.substr(word.size() - 3) != "OFF") {
    return false;
  }
  return word.substr(0, word.size() - 3).find_first_not_of("STCN4") == std::string_view::npos;
}

bool checkOff(Lines& lines, std::vector<std::string_view> header, std::string& reason) {
  std::vector<std::string_view> counts(header.begin() + 1, header.end());
  std::string_view line;
  if (counts.empty() && nextOffLine(lines, line)) {
    counts = firstTokens(line, 2);
  }
  Count vertices = 0, faces = 0;
  if (counts.size() < 2 || !parseCount(counts[0], vertices) || !parseCount(counts[1], faces)) {
    reason = "its OFF header has no vertex and face counts";
    return false;
  }
  for (Count i = 0; i < vertices; ++i) {
    if (!nextOffLine(lines, line)) {
      reason = "its OFF header declares " + number(vertices) + " vertices, but it holds " + number(i);
      return false;
    }
  }
  for (Count i = 0; i < faces; ++i) {
    if (!nextOffLine(lines, line)) {
      reason = "its OFF header declares " + number(faces) + " faces, but it holds " + number(i);
      return false;
    }
    const std::string face = "OFF face " + number(i + 1);
    Tokens tokens(line);
    std::string_view token;
    Count corners = 0;
    tokens.next(token);
    if (!parseCount(token, corners)) {
      reason = face + " does not start with its corner count";
      return false;
    }
    // Assimp loses its place in the file after a face without corners, and may crash.
    if (corners == 0) {
      reason = face + " has no corners";
      return false;
    }
    for (Count k = 0; k < corners; ++k) {
      Count index = 0;
      if (!tokens.next(token)) {
        reason = face + " declares " + number(corners) + " corners, but lists " + number(k);
        return false;
      }
      if (!parseCount(token, index) || index >= vertices) {
        reason = face + " names vertex \"" + std::string(token) + "\", but there are " + number(vertices) +
                 " vertices, numbered from 0";
        return false;
      }
    }
  }
  return true;
}

// Assimp takes a file for a binary STL when 84 bytes plus 50 per declared triangle equals its size, in
// 32-bit arithmetic; a count that matches only by wrapping around is not left to its later checks.
bool checkStlCount(std::string_view bytes, std::string& reason) {
  if (bytes.size() < 84) {
    return true;
  }
  std::uint32_t declared = 0;
  std::memcpy(&declared, bytes.data() + 80, sizeof declared);
  const Count needed = 84 + Count{declared} * 50;
  if (static_cast<std::uint32_t>(needed) == static_cast<std::uint32_t>(bytes.size()) &&
      needed != bytes.size()) {
    reason = "as a binary STL file it declares " + number(declared) + " triangles, which need " +
             number(needed) + " bytes, but it has " + number(bytes.size());
    return false;
  }
  return true;
}

// Where assimp would take bytes for a PLY file: its first three letters in any case, even after line
// breaks; npos when it would not.
size_t plyStart(std::string_view bytes) {
  const size_t start = std::min(bytes.find_first_not_of(" \t\r\n\v\f"), bytes.size());
  const std::string_view magic = bytes.substr(start, 3);
  const bool ply =
      magic.size() == 3 && (magic[0] | 0x20) == 'p' && (magic[1] | 0x20) == 'l' && (magic[2] | 0x20) == 'y';
  return ply ? start : std::string_view::npos;
}

}  // namespace

size_t binaryPlyBody(std::string_view bytes) {
  const size_t start = plyStart(bytes);
  PlyHeader header;
  std::string reason;
  if (start == std::string_view::npos || !readPlyHeader(bytes.substr(start), header, reason) ||
      header.format == PlyFormat::Ascii) {
    return 0;
  }
  return static_cast<size_t>(header.body.data() - bytes.data());
}

bool precheckMesh(std::string_view bytes, std::string& reason) {
  // Assimp may spin forever in a PLY header it cannot follow.
  const size_t start = plyStart(bytes);
  if (start != std::string_view::npos) {
    return checkPly(bytes.substr(start), reason);
  }
  Lines lines(bytes);
  std::string_view first;
  if (nextOffLine(lines, first)) {
    const std::vector<std::string_view> header = firstTokens(first, 4);
    if (isOffHeader(header[0])) {
      return checkOff(lines, header, reason);
    }
  }
  return checkStlCount(bytes, reason);
}
