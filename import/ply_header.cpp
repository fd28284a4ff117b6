// Reading a PLY header line by line: format, elements, their properties, and the lines assimp skips.
#include "ply_header.h"

#include <charconv>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The first few whitespace-separated tokens of a line: enough to judge it, however long it is.
std::vector<std::string_view> firstTokens(std::string_view line, size_t most) {
  std::vector<std::string_view> tokens;
  size_t at = 0;
  while (tokens.size() < most) {
    while (at < line.size() && isBlank(line[at])) {
      ++at;
    }
    const size_t start = at;
    while (at < line.size() && !isBlank(line[at])) {
      ++at;
    }
    if (at == start) {
      break;
    }
    tokens.push_back(line.substr(start, at - start));
  }
  return tokens;
}

PlyType typeNamed(std::string_view name) {
  static const struct {
    const char* name;
    PlyType type;
  } kTypes[] = {{"char", PlyType::Int8},      {"int8", PlyType::Int8},       {"uchar", PlyType::UInt8},
                {"uint8", PlyType::UInt8},    {"short", PlyType::Int16},     {"int16", PlyType::Int16},
                {"ushort", PlyType::UInt16},  {"uint16", PlyType::UInt16},   {"int", PlyType::Int32},
                {"int32", PlyType::Int32},    {"uint", PlyType::UInt32},     {"uint32", PlyType::UInt32},
                {"float", PlyType::Float32},  {"float32", PlyType::Float32}, {"double", PlyType::Float64},
                {"float64", PlyType::Float64}};
  for (const auto& known : kTypes) {
    if (name == known.name) {
      return known.type;
    }
  }
  return PlyType::None;
}

// The element names assimp reads the count of; it takes any other's count for 0.
bool isKnownElement(std::string_view name) {
  return name == "vertex" || name == "face" || name == "tristrips" || name == "edge" || name == "material";
}

bool parseCount(std::string_view token, std::uint64_t& value) {
  if (token.empty() || token[0] < '0' || token[0] > '9') {
    return false;
  }
  const auto [end, status] = std::from_chars(token.data(), token.data() + token.size(), value);
  return status == std::errc() && end == token.data() + token.size();
}

// "property TYPE NAME" or "property list COUNTTYPE TYPE NAME"; false when it is neither.
bool parseProperty(const std::vector<std::string_view>& tokens, PlyProperty& property) {
  const bool list = tokens.size() == 5 && tokens[1] == "list";
  if (!list && tokens.size() != 3) {
    return false;
  }
  property.countType = list ? typeNamed(tokens[2]) : PlyType::None;
  property.type = typeNamed(tokens[list ? 3 : 1]);
  property.name = tokens.back();
  return property.type != PlyType::None && (!list || property.countType != PlyType::None);
}

}  // namespace

int plyTypeSize(PlyType type) {
  switch (type) {
    case PlyType::Int8:
    case PlyType::UInt8:
      return 1;
    case PlyType::Int16:
    case PlyType::UInt16:
      return 2;
    case PlyType::Int32:
    case PlyType::UInt32:
    case PlyType::Float32:
      return 4;
    case PlyType::Float64:
      return 8;
    case PlyType::None:
      break;
  }
  return 0;
}

bool readPlyHeader(std::string_view bytes, PlyHeader& header, std::string& reason) {
  std::string_view rest = bytes;
  const auto nextLine = [&rest](std::string_view& line) {
    if (rest.empty()) {
      return false;
    }
    const size_t end = rest.find('\n');
    line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return true;
  };
  std::string_view line;
  nextLine(line);
  const std::vector<std::string_view> magic = firstTokens(line, 2);
  if (magic.size() != 1 || magic[0].size() != 3) {
    reason = "its first line is not the PLY magic \"ply\"";
    return false;
  }
  std::vector<PlyElement>& elements = header.elements;
  // Whether a property line here belongs to the last element, and whether an element with instances
  // would be misread, coming after one whose count assimp takes for 0.
  bool inList = false, ended = false;
  std::string lost;
  for (int number = 2; !ended && nextLine(line); ++number) {
    const std::vector<std::string_view> tokens = firstTokens(line, 6);
    const std::string where = "line " + std::to_string(number) + " of the PLY header ";
    if (tokens.empty()) {
      continue;
    }
    if (tokens[0] == "end_header") {
      ended = true;
    } else if (tokens[0] == "format") {
      const std::string_view kind = tokens.size() == 3 ? tokens[1] : "";
      if (header.formatLine != 0 ||
          (kind != "ascii" && kind != "binary_little_endian" && kind != "binary_big_endian")) {
        reason = where + "is not a format line it can read";
        return false;
      }
      header.formatLine = number;
      header.format = kind == "ascii"               ? PlyFormat::Ascii
                      : kind == "binary_big_endian" ? PlyFormat::BinaryBigEndian
                                                    : PlyFormat::BinaryLittleEndian;
      inList = false;
    } else if (tokens[0] == "element") {
      PlyElement element;
      if (tokens.size() != 3 || !parseCount(tokens[2], element.count)) {
        reason = where + "is not \"element NAME COUNT\"";
        return false;
      }
      element.name = tokens[1];
      if (!lost.empty() && element.count > 0) {
        reason = where + "comes after an element whose count the importer would not read (\"" + lost + "\")";
        return false;
      }
      if (lost.empty() && !isKnownElement(element.name) && element.count > 0) {
        lost = element.name;
      }
      elements.push_back(element);
      inList = true;
    } else if (tokens[0] == "property") {
      PlyProperty property;
      if (!inList) {
        reason = where + "is a property line that follows no element or property line";
        return false;
      }
      if (!parseProperty(tokens, property)) {
        reason = where + "is not a property line it can read";
        return false;
      }
      elements.back().properties.push_back(property);
    } else {
      // A comment, obj_info or any other line: skipped, but the properties of the element above end here.
      inList = false;
    }
  }
  if (!ended) {
    reason = "the PLY header has no end_header line";
    return false;
  }
  if (header.formatLine == 0) {
    reason = "the PLY header has no format line";
    return false;
  }
  header.body = rest;
  return true;
}
