// The plain model reader: everything the fast loader does by hand, done by the standard streams.
#include "poly_reference.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kTokenBuffer = 80;

bool isKeyword(const std::string& token, const char* keyword) {
  std::string lower = token;
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower == keyword;
}

// The records go into vectors first, so that a count the file cannot back costs nothing.
Model* newModel(const std::vector<ModelVertex>& vertices, const std::vector<ModelFace>& faces) {
  Model* model = new (std::nothrow)
      Model{nullptr, nullptr, static_cast<int>(vertices.size()), static_cast<int>(faces.size())};
  if (!model) {
    return nullptr;
  }
  model->vertices = new (std::nothrow) ModelVertex[vertices.size()];
  model->faces = new (std::nothrow) ModelFace[faces.size()];
  if (!model->vertices || !model->faces) {
    freeModel(model);
    return nullptr;
  }
  std::copy(vertices.begin(), vertices.end(), model->vertices);
  std::copy(faces.begin(), faces.end(), model->faces);
  return model;
}

}  // namespace

PolyParse referenceReadPoly(std::istream& in) {
  const PolyParse refused{nullptr, PolyStatus::NotExpectedFormat};
  std::string token;
  int vertexCount = 0;
  int faceCount = 0;
  in >> token;
  if (!isKeyword(token, "vertices:")) {
    return refused;
  }
  in >> vertexCount;
  token.clear();
  in >> token;
  if (!isKeyword(token, "faces:")) {
    return refused;
  }
  in >> faceCount;
  if (in.fail() || vertexCount < 0 || faceCount < 0) {
    return refused;
  }

  std::vector<ModelVertex> vertices;
  std::vector<ModelFace> faces;
  while (in >> token) {
    if (token.size() >= kTokenBuffer) {
      return refused;
    }
    if (token[0] == 'v') {
      ModelVertex v{};
      in >> v.x >> v.y >> v.z >> v.extra[0] >> v.extra[1] >> v.extra[2];
      if (in.fail() || vertices.size() == static_cast<size_t>(vertexCount)) {
        return refused;
      }
      vertices.push_back(v);
    } else if (token[0] == 'f') {
      ModelFace f{};
      in >> f.vertexIndex[0] >> f.vertexIndex[1] >> f.vertexIndex[2];
      if (in.fail() || faces.size() == static_cast<size_t>(faceCount)) {
        return refused;
      }
      for (int& index : f.vertexIndex) {
        if (index < 1 || index > vertexCount) {
          return refused;
        }
        index -= 1;
      }
      faces.push_back(f);
    } else {
      return refused;
    }
  }
  if (vertices.size() != static_cast<size_t>(vertexCount) || faces.size() != static_cast<size_t>(faceCount)) {
    return refused;
  }
  Model* model = newModel(vertices, faces);
  return model ? PolyParse{model, PolyStatus::Ok} : refused;
}

PolyParse referenceParsePoly(std::string_view text) {
  std::istringstream in{std::string(text)};
  return referenceReadPoly(in);
}

PolyParse parsePolyInChunks(std::string_view text, size_t chunk) {
  struct Feed {
    std::string_view rest;
    size_t chunk;
  } feed{text, chunk};
  return parsePolyChunks(
      [](void* source, char* buffer, size_t size) {
        Feed& f = *static_cast<Feed*>(source);
        const size_t n = f.rest.copy(buffer, std::min({size, f.chunk, f.rest.size()}));
        f.rest.remove_prefix(n);
        return n;
      },
      &feed);
}

Model* referenceLoadModel(const char* path) {
  std::ifstream in(path);
  if (!in.is_open()) {
    std::cout << "Error: Could not load model \"" << path << "\"" << std::endl;
    return nullptr;
  }
  const PolyParse parsed = referenceReadPoly(in);
  if (parsed.status != PolyStatus::Ok) {
    std::cout << "Error: Model \"" << path << "\" not of expected format." << std::endl;
  }
  return parsed.model;
}

std::string modelDifference(const Model* a, const Model* b) {
  if (!a || !b) {
    return (!a && !b) ? "" : (a ? "only the second refused" : "only the first refused");
  }
  if (a->vertexCount != b->vertexCount || a->faceCount != b->faceCount) {
    return "counts " + std::to_string(a->vertexCount) + "/" + std::to_string(a->faceCount) + " against " +
           std::to_string(b->vertexCount) + "/" + std::to_string(b->faceCount);
  }
  for (int i = 0; i < a->vertexCount; ++i) {
    if (std::memcmp(&a->vertices[i], &b->vertices[i], sizeof(ModelVertex)) != 0) {
      return "vertex " + std::to_string(i);
    }
  }
  for (int i = 0; i < a->faceCount; ++i) {
    if (std::memcmp(&a->faces[i], &b->faces[i], sizeof(ModelFace)) != 0) {
      return "face " + std::to_string(i);
    }
  }
  return "";
}
