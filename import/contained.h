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

// The limits for an import that may read the given real bytes (see realBytes): 64 MiB plus 50 bytes per
// byte, at most half the machine's memory; 5 seconds of processor time plus one per MiB, at most 300;
// twice that and 5 seconds more of wall-clock time. The sanitizer build gets more memory, for its shadow
// and its quarantine.
ImportLimits importLimitsFor(std::uint64_t realBytes);

// The reason given for an import that needs more memory than the limits allow.
std::string outOfMemoryReason(const ImportLimits& limits);

// Builds positions and faces with work in a forked child under the limits and brings them back; normals
// are left empty, and faces are not checked against the positions. False with a one-line reason when
// work fails (its own message), or the child crashes, runs out of time or memory, or answers nonsense.
// The child runs in a process group of its own and is killed with its parent; SIGINT, SIGTERM and SIGHUP
// kill the group before they take their former course (the default: ending the caller), and wall-clock
// time spent stopped does not count. The child is always killed and reaped before this returns.
bool runContained(const std::function<bool(PolyMesh&, std::string&)>& work, const ImportLimits& limits,
                  PolyMesh& mesh, std::string& error);
