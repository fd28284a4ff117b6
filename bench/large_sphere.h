// The benchmarks' large model: a latitude-longitude sphere of 638,400 faces, as ".poly" and as OBJ.
#pragma once

#include <string>

#include "model.h"

struct LargeSphereFiles {
  std::string poly;  // empty when the files could not be written
  std::string obj;
  int faceCount = 0;
};

// Writes the sphere into folder (made if missing) unless both files are already there, and returns their
// paths. The OBJ holds the same numbers: each vertex record as a "v" and a "vn" line, each face as "f i j k".
LargeSphereFiles largeSphereFiles(const std::string& folder);

// The bumpy sphere of the peer benchmark (tools/make_sphere_ply 2000000 FILE 0.04) in memory: 2,000,000 faces,
// 1250 slices by 801 stacks, its radius rising and falling by 4% in 12 waves each way. Null when memory runs
// out.
Model* bumpySphere();
