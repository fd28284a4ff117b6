// Escaping control characters in text bound for a terminal.
#include "printable.h"

#include <cstdint>

namespace {

void escapeByte(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

// Length of the valid UTF-8 sequence that starts at text[at] (shortest form, no surrogates, at most
// U+10FFFF), or 0 when none does.
size_t sequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, code = lead & 0x1fu;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, code = lead & 0x0fu;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > text.size()) {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0u) != 0x80u) {
      return 0;
    }
    code = (code << 6) | (byte(i) & 0x3fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) {
    return 0;
  }
  return length;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      if (lead < 0x20 || lead == 0x7f) {
        escapeByte(out, lead);
      } else {
        out += static_cast<char>(lead);
      }
      ++at;
      continue;
    }
    const size_t length = sequenceLength(text, at);
    // U+0080 to U+009F are C1 controls: 0xc2 followed by 0x80 to 0x9f.
    const bool c1 = length == 2 && lead == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0;
    if (length == 0 || c1) {
      const size_t bytes = length == 0 ? 1 : length;
      for (size_t i = 0; i < bytes; ++i) {
        escapeByte(out, static_cast<unsigned char>(text[at + i]));
      }
      at += bytes;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}
