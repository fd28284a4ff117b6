// The fast loader held to the plain stream-extraction reader: the same Model to the bit, the same console
// line and the same refusal, on every test file and on a few hundred thousand generated ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "model.h"
#include "poly_generator.h"
#include "poly_reference.h"
#include "temp_path.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// NPRVIEW_DIFFERENTIAL_CASES and NPRVIEW_DIFFERENTIAL_SEED make the generated run longer or different.
// The sanitizer build, ten times slower, runs a tenth, for memory errors; the plain build compares them all.
constexpr long kDefaultCases = kSanitized ? 30000 : 300000;
constexpr unsigned long kDefaultSeed = 20240607;
// One generated input in this many also goes through a file on disk and the console.
constexpr long kFileEvery = 1000;

long fromEnvironment(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

std::string escaped(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    }
  }
  return out;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

struct Comparison {
  std::string difference;  // empty when both readers agree
  bool accepted;           // by the fast reader
};

Comparison compareParses(std::string_view text) {
  const PolyParse fast = parsePoly(text);
  const PolyParse reference = referenceParsePoly(text);
  // Streamed in chunks of 1 to 13 bytes, the text must give the same as whole.
  const PolyParse streamed = parsePolyInChunks(text, 1 + text.size() % 13);
  Comparison comparison{modelDifference(fast.model, reference.model), fast.model != nullptr};
  if (comparison.difference.empty() && fast.status != reference.status) {
    comparison.difference = "status";
  }
  if (const std::string difference = modelDifference(streamed.model, fast.model); !difference.empty()) {
    comparison.difference += " in chunks: " + difference;
  }
  freeModel(fast.model);
  freeModel(reference.model);
  freeModel(streamed.model);
  return comparison;
}

struct Loaded {
  Model* model;
  std::string console;
};

template <typename Load>
Loaded loadCapturing(Load load, const std::string& path) {
  testing::internal::CaptureStdout();
  Model* model = load(path.c_str());
  return {model, testing::internal::GetCapturedStdout()};
}

// Empty when loadModel and the reference give the same model and write the same console line for path.
std::string loadDifference(const std::string& path) {
  const Loaded fast = loadCapturing(loadModel, path);
  const Loaded reference = loadCapturing(referenceLoadModel, path);
  std::string difference = modelDifference(fast.model, reference.model);
  if (fast.console != reference.console) {
    difference += " console \"" + escaped(fast.console) + "\" against \"" + escaped(reference.console) + "\"";
  }
  freeModel(fast.model);
  freeModel(reference.model);
  return difference;
}

std::vector<fs::path> testFiles() {
  std::vector<fs::path> files;
  for (const char* folder : {"data", "tests/poly"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".poly") {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(ModelDifferential, EveryTestFileLoadsAsStreamExtractionReadsIt) {
  const std::vector<fs::path> files = testFiles();
  ASSERT_GE(files.size(), 20u);
  int accepted = 0;
  for (const fs::path& file : files) {
    const Comparison comparison = compareParses(readFile(file));
    EXPECT_EQ(comparison.difference, "") << file;
    EXPECT_EQ(loadDifference(file.string()), "") << file;
    accepted += comparison.accepted;
  }
  // The files show both outcomes.
  EXPECT_GT(accepted, 5);
  EXPECT_LT(accepted, static_cast<int>(files.size()) - 5);
}

TEST(ModelDifferential, UnreadablePathsGiveTheSameLines) {
  for (const std::string path : {"no/such/model.poly", "", "tests", "/proc/self/mem"}) {
    EXPECT_EQ(loadDifference(path), "") << path;
  }
}

// A pipe has no size to go by, so the loader reads it in growing chunks.
TEST(ModelDifferential, PipeLoadsAsTheSameFileDoes) {
  const std::string source = "data/sphere-unit.poly";
  ASSERT_GT(fs::file_size(source), 200000u);
  const fs::path fifo = tempPath("pipe.poly");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << readFile(source); });
  Model* piped = loadModel(fifo.c_str());
  writer.join();
  Model* reference = referenceLoadModel(source.c_str());
  EXPECT_NE(piped, nullptr);
  EXPECT_EQ(modelDifference(piped, reference), "");
  freeModel(piped);
  freeModel(reference);
  fs::remove(fifo);
}

TEST(ModelDifferential, GeneratedAndMutatedFilesParseAsStreamExtractionReadsThem) {
  const long cases = fromEnvironment("NPRVIEW_DIFFERENTIAL_CASES", kDefaultCases);
  const auto seed = static_cast<uint64_t>(fromEnvironment("NPRVIEW_DIFFERENTIAL_SEED", kDefaultSeed));
  const fs::path path = tempPath("differential.poly");
  PolyGenerator generator(seed);
  long accepted = 0, failures = 0;
  for (long i = 0; i < cases && failures < 10; ++i) {
    const std::string text = generator.next();
    const Comparison comparison = compareParses(text);
    std::string difference = comparison.difference;
    if (i % kFileEvery == 0) {
      std::ofstream(path, std::ios::binary) << text;
      difference += loadDifference(path.string());
    }
    if (!difference.empty()) {
      ++failures;
      ADD_FAILURE() << "case " << i << " (seed " << seed << "): " << difference << "\n\"" << escaped(text)
                    << "\"";
    }
    accepted += comparison.accepted;
  }
  fs::remove(path);
  // Both outcomes are common, so neither reader's refusals nor its numbers go untested.
  EXPECT_GT(accepted, cases / 5);
  EXPECT_LT(accepted, cases - cases / 5);
  std::printf("%ld generated inputs, %ld accepted by both readers\n", cases, accepted);
}

}  // namespace
