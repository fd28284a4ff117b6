// Random model files for differential testing: mostly well formed, with every kind of number, separator and
// record token the format allows or refuses, then mutated (cut, bytes inserted, deleted or changed).
#pragma once

#include <cstdint>
#include <random>
#include <string>

class PolyGenerator {
 public:
  explicit PolyGenerator(uint64_t seed) : random_(seed) {}

  // The next input; the same seed gives the same sequence.
  std::string next();

 private:
  std::string wellFormedFile();
  void mutate(std::string& text);

  std::string floatNumber();
  std::string intNumber(int vertexCount);
  std::string count(int actual);
  std::string separator();
  std::string recordToken(char kind);
  std::string keyword(const char* word);
  std::string digits(int least, int most);

  bool chance(int percent) { return uniform(0, 99) < percent; }
  // A fault to put in: likelier the noisier the current file, never in a clean one.
  bool error(int percent) { return uniform(0, 9999) < percent * noise_; }
  int uniform(int least, int most) { return std::uniform_int_distribution<int>(least, most)(random_); }
  template <typename T, size_t N>
  T pick(const T (&choices)[N]) {
    return choices[uniform(0, static_cast<int>(N) - 1)];
  }

  std::mt19937_64 random_;
  int noise_ = 0;  // 0 for a clean file, up to 100
};
