// The fast model loader held to the plain stream-extraction reader on every model file of the repository and
// on paths it cannot read: the same Model to the bit and the same console line. What the
// format accepts and refuses is shown by the files in tests/poly/, one per case, named after it; the
// differential fuzzer (scripts/fuzz.sh) does the same on generated inputs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "poly_reference.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// Empty when loadModel and the reference give the same model and write the same line for path.
std::string loadDifference(const std::string& path) {
  Model *fast = nullptr, *reference = nullptr;
  const std::string fastLine = captureStdout([&] { fast = loadModel(path.c_str()); });
  const std::string referenceLine = captureStdout([&] { reference = referenceLoadModel(path.c_str()); });
  std::string difference = modelDifference(fast, reference);
  if (fastLine != referenceLine) {
    difference += " line \"" + fastLine + "\" against \"" + referenceLine + "\"";
  }
  freeModel(fast);
  freeModel(reference);
  return difference;
}

TEST(ModelDifferential, EveryModelFileLoadsAsStreamExtractionReadsIt) {
  std::vector<std::string> paths = {"no/such/model.poly", "", "tests", "/proc/self/mem", "/dev/null"};
  for (const char* folder : {"data", "tests/poly"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      paths.push_back(entry.path().string());
    }
  }
  ASSERT_GE(paths.size(), 30u);
  int accepted = 0;
  for (const std::string& path : paths) {
    EXPECT_EQ(loadDifference(path), "") << path;
    const std::string text = readFile(path);
    const PolyParse parsed = parsePoly(text);
    // What loadModel reads from a pipe or a device, fed in small chunks, must come out the same.
    const PolyParse streamed = parsePolyInChunks(text, 1 + text.size() % 13);
    EXPECT_EQ(modelDifference(streamed.model, parsed.model), "") << path << " in chunks";
    // So must the records split at lines and parsed on threads, as nprsnap loads a model.
    for (const size_t parts : {2, 3, 7}) {
      const ModelPtr split(parsePolyInPieces(text, parts).model);
      EXPECT_EQ(modelDifference(split.get(), parsed.model), "") << path << " in " << parts << " pieces";
    }
    accepted += parsed.model != nullptr;
    freeModel(parsed.model);
    freeModel(streamed.model);
  }
  // The files show both outcomes.
  EXPECT_GT(accepted, 5);
  EXPECT_LT(accepted, static_cast<int>(paths.size()) - 5);
}

// A pipe has no size to go by, so the loader reads it in chunks.
TEST(ModelDifferential, PipeLoadsAsTheSameFileDoes) {
  const std::string source = "data/sphere-unit.poly";
  ASSERT_GT(fs::file_size(source), 200000u);
  const fs::path fifo = tempPath("pipe.poly");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << readFile(source); });
  const ModelPtr piped(loadModel(fifo.c_str()));
  writer.join();
  const ModelPtr reference(referenceLoadModel(source.c_str()));
  EXPECT_NE(piped, nullptr);
  EXPECT_EQ(modelDifference(piped.get(), reference.get()), "");
  fs::remove(fifo);
}

// Cut to a few bytes as soon as the loader has it open, a large file is refused with the line or loaded
// as it was, never a crash (SIGBUS, where a mapping of it is read past its new end).
TEST(ModelLoader, FileCutShortWhileLoadingIsRefusedOrLoadedWhole) {
  const fs::path path = tempPath("cut-while-loading.poly");
  const std::string record = "v 0.5 0.25 0.125 0 0 1\n";
  std::string text = "vertices: 1000000\nfaces: 0\n";
  for (int i = 0; i < 1000000; ++i) {
    text += record;
  }
  for (int round = 0; round < 3; ++round) {
    std::ofstream(path, std::ios::binary) << text;
    std::atomic<bool> done = false;
    Model* model = nullptr;
    std::string line;
    std::thread loader([&] {
      line = captureStdout([&] { model = loadModelInParallel(path.c_str(), 2); });
      done = true;
    });
    // Waits for the loader's descriptor of the file, not for a time.
    for (bool open = false; !open && !done;) {
      for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        open = open || fs::read_symlink(fd.path(), error) == path;
      }
    }
    fs::resize_file(path, 10);
    loader.join();
    EXPECT_EQ(line, model ? "" : "Error: Model \"" + path.string() + "\" not of expected format.\n");
    EXPECT_EQ(model ? model->vertexCount : 0, model ? 1000000 : 0);
    freeModel(model);
  }
  fs::remove(path);
}

}  // namespace
