// Making model files that probe where stream extraction starts, ends and fails numbers and tokens.
#include "poly_generator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// Near the edges of float's range and its rounding: the largest float and just below the halfway point above
// it, the smallest normal and denormal, the halfway point below that, and values that round to zero.
const char* const kEdgeFloats[] = {
    "3.4028235e38",
    "3.40282346638528859811704183484516925440e38",
    "3.4028235677973362e38",
    "340282356779733661637539395458142567",
    "1.17549435e-38",
    "1.1754942e-38",
    "1.4e-45",
    "1.401298464324817e-45",
    "7.006492321624085e-46",
    "7.0064923216240862e-46",
    "7e-46",
    "1e-46",
    "1e-50",
    "1e-400",
    "1e-99999999999999999999",
    "0e99999999999999999999",
    "0",
    "0.0",
    "0e5",
    "0.",
    ".0",
    "00000.00000",
    "1.00000005960464477539062",
    "1.000000059604644775390625",
    "1.0000000596046447753906250001",
    "16777217",
    "16777216.5",
    "0.1",
    "2.5e-1",
    "1E+05",
    // Underflows and denormals whose digits sit far from the exponent's sign.
    "0.0000000000000000000000000000000000000000000001",
    "000000000000000000000000000000000000000001e-46",
    "1000000000000000000000000000000000000000e-80",
    "100000000000000000000000000000000000000000000000000000e-100",
    "0.00000000000000000000000000000000000000000000000000000000000000000000000000000000000009e40",
    "000000000000000000000000000000000000000000000000001e-46",
    // 1 and 150 zeros, with an exponent that brings it far below the smallest float.
    ("1"
     "000000000000000000000000000000000000000000000000000000000000000000000000000"
     "000000000000000000000000000000000000000000000000000000000000000000000000000"
     "e-99999999999999999999"),
};

// Past float's range: extraction fails on these.
const char* const kOverflowFloats[] = {
    "3.4028235677973366e38",
    "3.4028236e38",
    "340282356779733661637539395458142568448",
    "1e39",
    "1e400",
    "1e99999999999999999999",
    "99999999999999999999999999999999999999999",
    "0.00000000000000000000000000000000000000000001e84",
    "0.0000000000000000000000000000000000001e76",
};

// Text that extraction stops early at or refuses outright.
const char* const kMalformedNumbers[] = {
    "",
    "+",
    "-",
    ".",
    "e",
    "E5",
    "1e",
    "1e+",
    "1e-",
    ".e1",
    "+.",
    "-.",
    "inf",
    "-INF",
    "nan",
    "NaN",
    "0x10",
    "0x1p3",
    "1..2",
    "1e5e5",
    "1.2.3",
    "++1",
    "+-1",
    "1,5",
    "1e5x",
    "+-0",
    "-+0",
    "+-0.0",
    "1e+-5",
    "- 1",
    ".-1",
    "e-1",
    "0X",
    "1 e5",
    "\x80"
    "1",
    "1\xa0"
    "1",
    "١",
};

const char* const kEdgeInts[] = {
    "2147483647",
    "2147483648",
    "-2147483648",
    "-2147483649",
    "+0",
    "-0",
    "+-0",
    "0000000000000000000001",
    "+0000000000000000000000000000000000000000000000000000000000000000000000000000000000001",
    "99999999999999999999999",
    "9223372036854775807",
    "9223372036854775808",
    "-9223372036854775809",
    "18446744073709551616",
    "4294967297",
    "4294967295",
    "1.5",
    ".5",
    "1e3",
    "0x1F",
    "+",
    "-",
    "",
    "x",
};

const char* const kWhitespace[] = {" ", "\t", "\n", "\v", "\f", "\r"};

// Bytes that matter to a tokenizer or a number scanner, and some that do not.
const char kInsertable[] = {' ', '\t', '\n', '\v', '\f',   '\r',   '\0',   '0',   '1',
                            '9', '.',  'e',  'E',  '+',    '-',    'v',    'f',   'V',
                            'F', 'x',  ':',  '#',  '\x7f', '\x80', '\xa0', '\xff'};

}  // namespace

std::string PolyGenerator::next() {
  // Clean files must mostly load, so that the numbers in them are compared; noisy ones probe refusals.
  const int kind = uniform(0, 99);
  noise_ = kind < 45 ? 0 : kind < 80 ? 30 : 100;
  std::string text = wellFormedFile();
  if (noise_ > 0 && chance(noise_ == 100 ? 70 : 20)) {
    const int mutations = uniform(1, 3);
    for (int i = 0; i < mutations; ++i) {
      mutate(text);
    }
  }
  return text;
}

std::string PolyGenerator::digits(int least, int most) {
  std::string text(static_cast<size_t>(uniform(least, most)), '0');
  for (char& c : text) {
    c = static_cast<char>('0' + uniform(0, 9));
  }
  return text;
}

std::string PolyGenerator::floatNumber() {
  const int kind = uniform(0, 99);
  if (kind < 40) {
    // Decimal text as people and programs write it: sign, digits, point, exponent.
    std::string text = chance(30) ? pick({"-", "+"}) : "";
    const std::string whole = digits(chance(20) ? 0 : 1, error(50) ? 60 : 4);
    text += whole;
    if (whole.empty() || chance(60)) {
      text += "." + digits(whole.empty() && !error(20) ? 1 : 0, chance(5) ? 60 : 7);
    }
    if (chance(20)) {
      text += pick({"e", "E"});
      // Long negative exponents underflow to zero, which extraction keeps; long positive ones overflow.
      const bool negative = chance(50);
      text += negative ? "-" : pick({"", "+"});
      text += digits(error(20) ? 0 : 1, negative || error(50) ? (chance(10) ? 25 : 2) : 1);
    }
    return text;
  }
  if (kind < 70) {
    // A random float printed back, denormals, extremes and signed zeros included.
    float value = std::bit_cast<float>(static_cast<uint32_t>(random_()));
    if (!std::isfinite(value) && !error(100)) {
      value = 0.0f;
    }
    char text[64];
    std::snprintf(text, sizeof text, chance(50) ? "%.*g" : "%.*e", uniform(0, 12),
                  static_cast<double>(value));
    return text;
  }
  std::string text = chance(20) ? pick({"-", "+"}) : "";
  if (error(30)) {
    return chance(50) ? text + pick(kOverflowFloats) : pick(kMalformedNumbers);
  }
  return text + pick(kEdgeFloats);
}

std::string PolyGenerator::intNumber(int vertexCount) {
  if (error(10)) {
    return chance(70) ? pick(kEdgeInts) : pick(kMalformedNumbers);
  }
  // Valid face numbers, sometimes the ones just outside 1..vertexCount.
  const int number = error(20) ? pick({0, vertexCount + 1}) : uniform(1, std::max(vertexCount, 1));
  std::string text = chance(5) ? pick({"+", "0", "00", "+00"}) : "";
  return text + std::to_string(number);
}

std::string PolyGenerator::count(int actual) {
  if (error(10)) {
    return chance(50) ? std::to_string(actual + pick({-1, 1})) : pick(kEdgeInts);
  }
  return (chance(5) ? "+" : "") + std::to_string(actual);
}

std::string PolyGenerator::separator() {
  if (error(10)) {
    return chance(60) ? "" : std::string(1, kInsertable[uniform(0, sizeof kInsertable - 1)]);
  }
  if (chance(75)) {
    return " ";
  }
  std::string text;
  for (int i = uniform(1, 4); i > 0; --i) {
    text += pick(kWhitespace);
  }
  return text;
}

std::string PolyGenerator::recordToken(char kind) {
  if (error(5)) {
    return chance(15) ? std::string(1, '\0') : pick({"V", "F", "#", "x", "\x80"});
  }
  const int variant = uniform(0, 99);
  if (variant < 85) {
    return std::string(1, kind);
  }
  if (variant < 95) {
    return kind == 'v' ? pick({"vertex", "vn", "vt", "v:", "v\x01"})
                       : pick({"face", "fx", "f1", "f:", "f\x01"});
  }
  // Around the longest token the 80-character buffer holds.
  return std::string(1, kind) +
         std::string(static_cast<size_t>(error(50) ? uniform(79, 82) : uniform(75, 78)), 'x');
}

std::string PolyGenerator::keyword(const char* word) {
  std::string text = word;
  if (chance(15)) {
    for (char& c : text) {
      if (chance(50) && c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
      }
    }
  }
  if (error(5)) {
    text = pick({"vertices", "faces", "vertex:", "vertices::", "faces :", "Vertices;"});
  }
  return text;
}

std::string PolyGenerator::wellFormedFile() {
  const int faceCount = uniform(0, chance(10) ? 40 : 6);
  // Faces need a vertex to name.
  const int vertexCount = uniform(faceCount > 0 && !error(10) ? 1 : 0, chance(10) ? 40 : 6);
  std::vector<char> order(static_cast<size_t>(vertexCount), 'v');
  order.insert(order.end(), static_cast<size_t>(faceCount), 'f');
  if (chance(30)) {
    std::shuffle(order.begin(), order.end(), random_);
  }

  std::string text = chance(5) ? separator() : "";
  text += keyword("vertices:") + separator() + count(vertexCount) + separator();
  text += keyword("faces:") + separator() + count(faceCount);
  for (char kind : order) {
    text += separator() + (chance(70) ? "\n" : "") + recordToken(kind);
    const int numbers = (kind == 'v' ? 6 : 3) + (error(5) ? pick({-1, 1}) : 0);
    for (int i = 0; i < numbers; ++i) {
      text += separator() + (kind == 'v' ? floatNumber() : intNumber(vertexCount));
    }
  }
  if (chance(50)) {
    text += pick(kWhitespace);
  }
  return text;
}

void PolyGenerator::mutate(std::string& text) {
  const size_t at = text.empty() ? 0 : static_cast<size_t>(uniform(0, static_cast<int>(text.size())));
  switch (uniform(0, 5)) {
    case 0:  // cut anywhere
      text.resize(at);
      break;
    case 1:
      text.insert(at, 1, kInsertable[uniform(0, sizeof kInsertable - 1)]);
      break;
    case 2:
      if (at < text.size()) {
        text.erase(at, 1);
      }
      break;
    case 3:
      if (at < text.size()) {
        text[at] = kInsertable[uniform(0, sizeof kInsertable - 1)];
      }
      break;
    case 4: {
      const size_t length = static_cast<size_t>(uniform(1, 30));
      text.insert(at, text.substr(at, length));
      break;
    }
    default:
      text.insert(at, chance(50) ? floatNumber() : separator());
      break;
  }
}
