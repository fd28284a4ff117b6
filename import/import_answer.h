// What a contained import's child hands its parent: a short message through a pipe, the mesh's arrays
// through a shared-memory file, and the parent's checks on both.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "poly_mesh.h"

// The child's side: writes mesh's positions, then its faces, to arraysFd (an empty file), then to messageFd
// the message that announces them. False, errno saying why, when not everything could be written.
bool sendMeshAnswer(const PolyMesh& mesh, int messageFd, int arraysFd);

// The child's side when its work failed: the message that carries the reason (its first 4 KiB) to messageFd.
bool sendErrorAnswer(const std::string& reason, int messageFd);

// The longest message either gives.
constexpr size_t kLongestAnswerMessage = 4097;

// The parent's side: true with mesh (normals empty) when message announces counts that a model can hold,
// arraysFd holds exactly their arrays, and they pass checkImportedMesh. Else false with error: the child's
// own reason when the message carries one, otherwise what is wrong with the answer. Reads arraysFd from its
// start; allocates no more than its size.
bool readImportAnswer(std::string_view message, int arraysFd, PolyMesh& mesh, std::string& error);

// The reason given for a point that is not finite, `when` saying at which step (as read, turned and scaled).
std::string notFiniteReason(const char* when, const char* what, const std::array<float, 3>& point);

// False with notFiniteReason for the first position (then normal) that is not a finite point on every axis.
bool allFinite(const PolyMesh& mesh, const char* when, std::string& error);

// False with the reason for a mesh as read that no model can be built from: more vertices or faces than a
// model file counts, a coordinate that is not a finite number, a corner that names no vertex.
bool checkImportedMesh(const PolyMesh& mesh, std::string& error);
