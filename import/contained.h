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

// The limits for an import that reads the given real bytes (see realBytes): 64 MiB plus 50 bytes per
// byte, at most half the machine's memory; 5 seconds of processor time plus one per MiB, at most 300;
// twice that and 5 seconds more of wall-clock time. The sanitizer build gets more memory, for its shadow
// and its quarantine.
ImportLimits importLimitsFor(std::uint64_t realBytes);

// The reason given for an import that needs more memory than the limits allow.
std::string outOfMemoryReason(const ImportLimits& limits);

// What a contained run may use: the limits for the real bytes its work reads, starting from startBytes
// and growing as the work reports more (raiseContainedLimits), never past limitsFor(UINT64_MAX).
struct ContainedBudget {
  std::uint64_t startBytes = 0;
  std::function<ImportLimits(std::uint64_t)> limitsFor = importLimitsFor;
};

// Builds positions and faces with work in a forked child under the budget's limits and brings them back
// through a shared-memory file; normals are left empty. False with a one-line reason when work fails (its
// own message), or the child crashes, runs out of time or memory, or answers what no working importer
// would (see readImportAnswer). The child runs in a process group of its own and is killed with its
// parent; SIGINT, SIGTERM and SIGHUP kill the group before they take their former course (the default:
// ending the caller), and wall-clock time spent stopped does not count. The child and anything it started
// are killed and reaped before this returns.
bool runContained(const std::function<bool(PolyMesh&, std::string&)>& work, const ContainedBudget& budget,
                  PolyMesh& mesh, std::string& error);

// For the work of a contained run, before it reads more: the limits become those for totalRealBytes, the
// real bytes of everything it has opened, and the parent watches by them from then on. Never lowers them.
// Returns the limits now in force; outside a contained run, importLimitsFor(totalRealBytes).
ImportLimits raiseContainedLimits(std::uint64_t totalRealBytes);
