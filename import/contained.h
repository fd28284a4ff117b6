// Running untrusted import code in a child process, so that its crash, hang or runaway memory becomes a
// one-line reason instead of the end of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "poly_mesh.h"

struct ImportLimits {
  // Resident memory the child may add to what it shares with its parent.
  size_t memoryBytes;
  int cpuSeconds;
  int wallSeconds;
};

// The limits for a file of the given size: 64 MiB plus 50 bytes per byte of file, and a few seconds
// plus one per MiB. The sanitizer build gets more memory, for its shadow and its quarantine.
ImportLimits importLimitsFor(std::uint64_t fileBytes);

// Builds positions and faces with work in a forked child under the limits and brings them back; normals
// are left empty, and faces are not checked against the positions. False with a one-line reason when
// work fails (its own message), or the child crashes, runs out of time or memory, or answers nonsense.
// The child is always killed and reaped before this returns.
bool runContained(const std::function<bool(PolyMesh&, std::string&)>& work, const ImportLimits& limits,
                  PolyMesh& mesh, std::string& error);
