// mesh2poly: turns any mesh file assimp reads (OBJ, PLY, STL, glTF, OFF, ...) into a ".poly" model file.
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "mesh_ops.h"
#include "poly_mesh.h"

namespace {

const char* const kUsage =
    "usage: mesh2poly [--unit] [--winding cw|ccw] [--up x|y|z] [--turn DEGREES] INPUT OUTPUT.poly";

struct Options {
  bool unit = false;
  std::optional<Winding> winding;
  Axis up = Axis::Y;
  double turn = 0;
  std::string input;
  std::string output;
};

std::optional<Options> parseArguments(int argc, char** argv) {
  Options options;
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--unit") {
      options.unit = true;
    } else if (arg == "--winding" && hasValue) {
      const std::string_view value = argv[++i];
      if (value != "cw" && value != "ccw") {
        return std::nullopt;
      }
      options.winding = value == "cw" ? Winding::Clockwise : Winding::CounterClockwise;
    } else if (arg == "--up" && hasValue) {
      const std::string_view value = argv[++i];
      if (value != "x" && value != "y" && value != "z") {
        return std::nullopt;
      }
      options.up = value == "x" ? Axis::X : value == "y" ? Axis::Y : Axis::Z;
    } else if (arg == "--turn" && hasValue) {
      const std::string_view value = argv[++i];
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.turn);
      if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(options.turn)) {
        return std::nullopt;
      }
    } else if (arg.starts_with("--") || files == 2) {
      return std::nullopt;
    } else {
      (files++ == 0 ? options.input : options.output) = arg;
    }
  }
  if (files != 2) {
    return std::nullopt;
  }
  return options;
}

// Assimp's messages may span lines; the tool reports in exactly one.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

// Reads every triangle of every mesh in the file, in world space. Points and lines are skipped.
bool importMesh(const std::string& path, PolyMesh& mesh, std::string& error) {
  Assimp::Importer importer;
  // Only positions matter here; without the other components, assimp joins vertices by position alone.
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS,
                              aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS | aiComponent_COLORS |
                                  aiComponent_TEXCOORDS | aiComponent_BONEWEIGHTS | aiComponent_ANIMATIONS |
                                  aiComponent_LIGHTS | aiComponent_CAMERAS);
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  // Validated on its own before any other step: the steps assume a sound scene, and on a broken one
  // (a PLY file cut short, say) they end the process on a failed assertion.
  const aiScene* scene = importer.ReadFile(path, 0);
  if (scene) {
    scene = importer.ApplyPostProcessing(aiProcess_ValidateDataStructure);
  }
  if (scene) {
    scene = importer.ApplyPostProcessing(aiProcess_RemoveComponent | aiProcess_Triangulate |
                                         aiProcess_JoinIdenticalVertices | aiProcess_PreTransformVertices |
                                         aiProcess_SortByPType);
  }
  if (!scene) {
    error = oneLine(importer.GetErrorString());
    if (error.empty()) {
      error = "not a mesh file assimp can read";
    }
    return false;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* part = scene->mMeshes[m];
    const int base = static_cast<int>(mesh.positions.size());
    for (unsigned v = 0; v < part->mNumVertices; ++v) {
      const aiVector3D& p = part->mVertices[v];
      mesh.positions.push_back({p.x, p.y, p.z});
    }
    for (unsigned f = 0; f < part->mNumFaces; ++f) {
      const aiFace& face = part->mFaces[f];
      if (face.mNumIndices == 3) {
        mesh.faces.push_back({base + static_cast<int>(face.mIndices[0]),
                              base + static_cast<int>(face.mIndices[1]),
                              base + static_cast<int>(face.mIndices[2])});
      }
    }
  }
  // Parts of one mesh that meet, and vertices assimp kept apart, become one vertex each.
  joinVertices(mesh);
  if (mesh.faces.empty()) {
    error = "no triangles in it";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parseArguments(argc, argv);
  if (!options) {
    std::fprintf(stderr, "%s\n", kUsage);
    return 2;
  }
  PolyMesh mesh;
  std::string error;
  if (!importMesh(options->input, mesh, error)) {
    std::fprintf(stderr, "mesh2poly: cannot read %s: %s\n", options->input.c_str(), error.c_str());
    return 1;
  }
  turnUpAxis(mesh, options->up);
  if (options->turn != 0) {
    turnAboutY(mesh, options->turn);
  }
  if (options->unit) {
    fitUnitBox(mesh);
  }
  if (options->winding && !orientFaces(mesh, *options->winding)) {
    std::fprintf(stderr, "mesh2poly: note: %s encloses no volume, so its winding is kept as given\n",
                 options->input.c_str());
  }
  computeNormals(mesh);
  if (!writePoly(options->output, mesh, error)) {
    std::fprintf(stderr, "mesh2poly: cannot write %s: %s\n", options->output.c_str(), error.c_str());
    return 1;
  }
  return 0;
}
