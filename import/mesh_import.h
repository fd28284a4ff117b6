// Mesh files of any format assimp reads, imported safely and turned into what mesh2poly writes.
#pragma once

#include <optional>
#include <string>

#include "mesh_ops.h"
#include "poly_mesh.h"

struct Model;

// What mesh2poly's options ask of the imported mesh, applied in this order: up axis, turn about the
// vertical, unit box, winding; then the normals, unless the caller draws none.
struct ImportOptions {
  bool unit = false;
  std::optional<Winding> winding;
  Axis up = Axis::Y;
  double turn = 0.0;
  bool normals = true;
};

// Reads any mesh file assimp reads, contained: in a child process, under CPU, memory and time limits that
// follow the real bytes of the model and of each file it names as it is opened, the file is checked for
// declared sizes it cannot hold and headers assimp mishandles, then read (binary PLY and STL files directly
// where that gives what assimp gives, see readDirectly; every other file by assimp, which may open nothing
// but the files the model's file system allows, see ModelFileSystem), and its vertices joined. Applies the
// options as mesh2poly does and computes the outward normals, so the result is exactly what mesh2poly
// writes (without normals, unless asked). False with a one-line reason, control characters escaped, when
// the file cannot be read or its mesh would not load in the viewer (coordinates that are not finite
// numbers, too many vertices). Forks: call it before starting threads of one's own.
bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error);

// The same; windingKept tells whether a winding was asked for but left as given because the mesh
// encloses no volume.
bool importMesh(const std::string& path, const ImportOptions& options, PolyMesh& mesh, std::string& error,
                bool& windingKept);

// The Model that loadModel gives for the ".poly" text mesh2poly writes of mesh (bit-identical floats), built
// straight from its arrays, owned by the caller (freeModel); without normals, the three numbers after each
// position are 0. Requires faces within the positions, as importMesh gives. Null if it cannot be built.
Model* modelOfMesh(const PolyMesh& mesh);
