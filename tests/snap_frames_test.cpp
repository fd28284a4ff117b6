// nprsnap's antialiased pictures and turntables, and the program's exit status and one line on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "png_file.h"
#include "snapshot.h"
#include "support.h"
#include "turntable.h"

namespace {

namespace fs = std::filesystem;

SnapOptions optionsFor(const char* model, int width, int height, float yaw = 30, float pitch = 20) {
  SnapOptions options;
  options.modelPath = model;
  options.width = width;
  options.height = height;
  options.cameraYaw = yaw;
  options.cameraPitch = pitch;
  return options;
}

RgbImage draw(const SnapOptions& options) {
  const ModelPtr model(loadModel(options.modelPath.c_str()));
  RgbImage picture;
  std::string error;
  EXPECT_TRUE(model && renderSnapshot(options, *model, picture, error)) << error;
  return picture;
}

RgbImage readPicture(const fs::path& path) {
  RgbImage picture;
  std::string error;
  EXPECT_TRUE(readPng(path, picture, error)) << error;
  return picture;
}

// Each n x n block of big averaged into one pixel, rounded to nearest.
RgbImage averaged(const RgbImage& big, int n) {
  RgbImage small{big.width / n, big.height / n, {}};
  for (int i = 0; i < small.width * small.height * 3; ++i) {
    const int x = i / 3 % small.width, y = i / 3 / small.width;
    int sum = 0;
    for (int j = 0; j < n * n; ++j) {
      sum += big.at(x * n + j % n, y * n + j / n)[i % 3];
    }
    small.rgb.push_back(static_cast<uint8_t>((sum + n * n / 2) / (n * n)));
  }
  return small;
}

struct SnapRun {
  int status;
  std::string out, err;
};

// The real program in folder.
SnapRun nprsnap(const std::string& arguments, const fs::path& folder = NPRVIEW_SOURCE_DIR) {
  SnapRun run{};
  const fs::path err = tempPath("nprsnap-stderr.txt");
  run.out = runCommand("cd " + folder.string() + " && " NPRSNAP_BINARY " " + arguments + " 2>" + err.string(),
                       &run.status);
  run.err = readFile(err);
  fs::remove(err);
  return run;
}

TEST(Samples, GiveTheLargerPictureWithTheWiderOutlineAveragedOverEachBlock) {
  struct Case {
    const char* model;
    int width, height, samples, outline;
    bool hatching;
  };
  const Case cases[] = {{"data/sphere-unit.poly", 64, 64, 4, 5, false},
                        {"data/bunny-unit.poly", 90, 60, 3, 2, true},
                        {"data/tpot-unit.poly", 40, 56, 8, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    auto options = [&c](int scale, int samples) {
      SnapOptions options = optionsFor(c.model, c.width * scale, c.height * scale);
      options.hatching = c.hatching;
      options.outlineWidth = c.outline * scale;
      options.samples = samples;
      return options;
    };
    EXPECT_EQ(differingPixels(snapshotOf(options(1, c.samples)),
                              averaged(snapshotOf(options(c.samples, 1)), c.samples), 1),
              0);
  }
}

TEST(Turntable, WritesEachFrameAsTheSinglePictureFromItsYaw) {
  const fs::path folder = tempPath("turntable");
  fs::create_directories(folder);
  const SnapRun run =
      nprsnap("data/bunny-unit.poly --size 48 --yaw 10 --turntable 4 -o " + folder.string() + "/t-%02d.png");
  EXPECT_EQ(run.status, 0);
  // Not a terminal: no progress.
  EXPECT_EQ(run.err, "");
  for (int frame = 0; frame < 4; ++frame) {
    const RgbImage written = readPicture(folder / ("t-0" + std::to_string(frame) + ".png"));
    const RgbImage drawn =
        snapshotOf(optionsFor("data/bunny-unit.poly", 48, 48, 10.0f + 90.0f * static_cast<float>(frame), 0));
    EXPECT_EQ(differingPixels(written, drawn, 0), 0) << "frame " << frame;
  }
  EXPECT_FALSE(fs::exists(folder / "t-04.png"));
  fs::remove_all(folder);
}

TEST(Turntable, StopsAtTheFirstFrameThatCannotBeWrittenAndShowsProgressOnlyOnATerminal) {
  const fs::path folder = tempPath("turntable-stop");
  fs::create_directories(folder / "t-1.png");
  const std::string arguments =
      "data/sphere-unit.poly --size 16 --turntable 3 -o " + folder.string() + "/t-%d.png";
  const SnapRun run = nprsnap(arguments);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("nprsnap: cannot write \"" + (folder / "t-1.png").string() + "\": ", 0), 0u)
      << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_TRUE(fs::exists(folder / "t-0.png"));
  EXPECT_FALSE(fs::exists(folder / "t-2.png"));

  fs::remove(folder / "t-1.png");
  const std::string terminal = runCommand("cd " NPRVIEW_SOURCE_DIR " && script -qec '" NPRSNAP_BINARY " " +
                                          arguments + " >/dev/null' /dev/null");
  EXPECT_NE(terminal.find("\r\033[Knprsnap: frame 2 of 3, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("nprsnap: frame 3 of 3, 0:00 elapsed, about 0:00 left\r\n"), std::string::npos)
      << terminal;
  fs::remove_all(folder);
}

TEST(ImportedMeshes, DrawAsTheirConversionByMesh2PolyDoes) {
  // The import itself is held to mesh2poly's for every format by the import's test.
  const std::pair<const char*, const char*> cases[] = {{"cube-ccw.off", "--up x"},
                                                       {"tetrahedron-ccw-binary.stl", "--up z --turn -100"},
                                                       {"tetrahedron-ccw.obj", ""}};
  const fs::path poly = tempPath("converted.poly");
  for (const auto& [file, turns] : cases) {
    const std::string mesh = std::string("tests/data/") + file;
    int status = -1;
    runCommand(std::string("cd " NPRVIEW_SOURCE_DIR " && " NPRVIEW_MESH2POLY " --unit --winding ccw ") +
                   turns + " " + mesh + " " + poly.string(),
               &status);
    ASSERT_EQ(status, 0) << file;
    const fs::path fromMesh = tempPath("from-mesh.png");
    ASSERT_EQ(nprsnap(mesh + " --size 96 --yaw 30 --pitch 20 " + turns + " -o " + fromMesh.string()).status,
              0);
    const RgbImage a = readPicture(fromMesh), b = snapshotOf(optionsFor(poly.c_str(), 96, 96));
    EXPECT_EQ(differingPixels(a, b, 0), 0) << file;
    // Not two empty pictures: the background is (115, 128, 153).
    EXPECT_GT(std::count(a.rgb.begin(), a.rgb.end(), 0), 100) << file << " shows no outline";
    fs::remove(fromMesh);
  }
  fs::remove(poly);
}

TEST(FrameNames, TakeExactlyOneIntegerField) {
  const std::pair<const char*, const char*> cases[] = {{"turn-%03d.png", "turn-007.png"},
                                                       {"%i", "7"},
                                                       {"100%%-%-3u|%%", "100%-7  |%"},
                                                       {"%+.2d", "+07"},
                                                       {"turn.png", "needs an integer field"},
                                                       {"%d-%d.png", "more than one integer field"},
                                                       {"%s-%d.png", "not \"%s\""},
                                                       {"%ld.png", "not \"%l\""},
                                                       {"%1000d.png", "not \"%1000d\""},
                                                       {"turn-%", "not \"%\""}};
  for (const auto& [pattern, expected] : cases) {
    FrameNamePattern parsed;
    std::string error;
    const std::string result =
        parseFrameNamePattern(pattern, parsed, error) ? frameFileName(parsed, 7) : error;
    EXPECT_NE(result.find(expected), std::string::npos) << pattern << " gave " << result;
  }
}

TEST(Background, TransparentLeavesTheModelOpaqueAndWeightsEachBlocksColoursByCoverage) {
  // Seen from the front, an open square has no outline: its edges cut through blocks in its tones.
  SnapOptions options = optionsFor("tests/models/open-square.poly", 40, 40, 20, 10);
  options.samples = 3;
  options.background = Background{0.0f, 0.0f, 0.0f, 1.0f};
  const RgbImage onBlack = draw(options);
  options.background = Background{};
  const RgbImage clear = draw(options);
  ASSERT_EQ(clear.alpha.size(), 40u * 40u);
  EXPECT_TRUE(onBlack.alpha.empty());
  EXPECT_EQ(clear.alpha[0], 0);
  EXPECT_EQ(clear.alpha[20 * 40 + 20], 255);
  const auto partly = [](uint8_t alpha) { return alpha > 0 && alpha < 255; };
  EXPECT_GT(std::count_if(clear.alpha.begin(), clear.alpha.end(), partly), 0);
  // Over black a block's colour is its coverage times the colour of what covers it (each rounded).
  for (size_t i = 0; i < clear.rgb.size(); ++i) {
    ASSERT_NEAR(clear.rgb[i] * clear.alpha[i / 3] / 255.0, onBlack.rgb[i], 1.5) << "pixel " << i / 3;
  }
  const fs::path path = tempPath("transparent.png");
  std::string error;
  ASSERT_TRUE(writePng(path, clear, error)) << error;
  const RgbImage read = readPicture(path);
  EXPECT_TRUE(read.rgb == clear.rgb && read.alpha == clear.alpha);
  fs::remove(path);
}

// The loaders' own lines are the viewer's: standard output stays free for a picture.
TEST(SnapRefusals, SayWhyInOneLineOnStandardErrorAndExitNonZero) {
  const fs::path empty = tempPath("no-data"), junk = tempPath("junk.poly");
  fs::create_directories(empty);
  // A model without an extension is read as a .poly, and a name without one is written as a PNG.
  fs::copy_file(NPRVIEW_SOURCE_DIR "/data/icos-unit.poly", empty / "icos");
  std::ofstream(junk) << "vertices: 3 faces: 1 v 0 0 0 0 0 1\n";
  const std::string source = NPRVIEW_SOURCE_DIR;
  struct Case {
    std::string arguments;
    fs::path folder;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"", source, 2, "no model file given"},
      {"data/sphere-unit.poly -o x.png --yaw", source, 2, "--yaw: 1 required DEGREES missing"},
      {"data/no-such-model.poly -o x.png", source, 1,
       "cannot read the model \"data/no-such-model.poly\": No such file or directory"},
      {junk.string() + " -o x.png", source, 1,
       "cannot read the model \"" + junk.string() + "\": not of expected format"},
      {"data/sphere-unit.poly --size 8 --hatching -o /no-such-folder/x.png", source, 1,
       "cannot write \"/no-such-folder/x.png\""},
      {"data/sphere-unit.poly --size 16384 --samples 2 -o x.png", source, 2,
       "--size 16384x16384 with --samples 2: the GL driver draws at most "},
      {"icos --turntable 2 -o ./icos%.0d", empty, 2, "will not write \"./icos\" over the model it draws"},
      {"tests/data/truncated.ply -o x.png", source, 1,
       "cannot read tests/data/truncated.ply: its PLY header"},
      {"data/icos-unit.poly --up z -o x.png", source, 2, "--up and --turn turn imported meshes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const SnapRun run = nprsnap(c.arguments, c.folder);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.rfind("nprsnap: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(c.folder / "x.png"));
  }
  EXPECT_EQ(fs::file_size(empty / "icos"), fs::file_size(NPRVIEW_SOURCE_DIR "/data/icos-unit.poly"));
  // Flat tones need no hatching images, nor does an SVG's hatching, which is strokes; and this build's
  // nprsnap finds the hatching images in the source tree from any folder (a broken image in the working
  // folder's data/ comes first: tests/install_test.sh).
  EXPECT_EQ(nprsnap(source + "/data/sphere-unit.poly --size 8 -o x.png", empty).status, 0);
  EXPECT_EQ(nprsnap(source + "/data/sphere-unit.poly --hatching --size 8 -o x.svg", empty).status, 0);
  EXPECT_EQ(nprsnap(source + "/data/sphere-unit.poly --hatching --size 8 -o x.png", empty).status, 0);
  EXPECT_TRUE(fs::exists(empty / "x.png"));
  fs::remove_all(empty);
  fs::remove(junk);
}

}  // namespace
