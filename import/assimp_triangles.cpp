// Reading triangles with assimp.
#include "assimp_triangles.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <cmath>

#include "import_answer.h"
#include "mesh_precheck.h"
#include "model_files.h"

namespace {

// Assimp's messages may span lines; the tools report in exactly one.
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

// The first vertex of the scene as read whose coordinates are not all finite numbers, if any.
bool firstNotFinite(const aiScene& scene, std::array<float, 3>& point) {
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& part = *scene.mMeshes[m];
    for (unsigned v = 0; v < part.mNumVertices; ++v) {
      const aiVector3D& p = part.mVertices[v];
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        point = {p.x, p.y, p.z};
        return true;
      }
    }
  }
  return false;
}

}  // namespace

void prepareSource(std::string_view bytes, ModelSource& source) {
  const size_t body = binaryPlyBody(bytes);
  if (body >= 2 && body < bytes.size() && bytes[body] == '\n' && bytes[body - 2] != '\r') {
    source.start.assign(bytes.substr(0, body));
    source.start += '\n';
    source.replaced = body;
  }
}

bool readTriangles(const ModelSource& source, PolyMesh& mesh, std::string& error) {
  Assimp::Importer importer;
  // The importer owns and deletes its file system.
  auto* files = new ModelFileSystem(source);
  importer.SetIOHandler(files);
  // Only positions matter here; without the other components, assimp joins vertices by position alone.
  importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS,
                              aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS | aiComponent_COLORS |
                                  aiComponent_TEXCOORDS | aiComponent_BONEWEIGHTS | aiComponent_ANIMATIONS |
                                  aiComponent_LIGHTS | aiComponent_CAMERAS);
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  // Validated on its own before any other step: the steps assume a sound scene, and on a broken one
  // (a PLY file cut short, say) they end the process on a failed assertion.
  const aiScene* scene = importer.ReadFile(source.path, 0);
  if (scene) {
    scene = importer.ApplyPostProcessing(aiProcess_ValidateDataStructure);
  }
  std::array<float, 3> point{};
  if (scene && firstNotFinite(*scene, point)) {
    error = notFiniteReason("as read,", "vertex", point);
    return false;
  }
  if (scene) {
    scene = importer.ApplyPostProcessing(aiProcess_RemoveComponent | aiProcess_Triangulate |
                                         aiProcess_PreTransformVertices | aiProcess_SortByPType);
  }
  if (!scene && !files->refusal().empty()) {
    error = files->refusal();
    return false;
  }
  if (!scene) {
    error = oneLine(importer.GetErrorString());
    if (error.empty()) {
      error = "not a mesh file assimp can read";
    }
    return false;
  }
  size_t vertices = 0, faces = 0;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    vertices += scene->mMeshes[m]->mNumVertices;
    faces += scene->mMeshes[m]->mNumFaces;
  }
  mesh.positions.reserve(mesh.positions.size() + vertices);
  mesh.faces.reserve(mesh.faces.size() + faces);
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
  return true;
}
