// The direct readers held to assimp on the same bytes, for the import's tests and its differential fuzzer.
#pragma once

#include <string>
#include <string_view>

// Writes bytes to folder/name (its extension choosing the reader, as for a user's file) and reads it as the
// import's child would, once with the direct readers and once with assimp, each result checked as the
// import checks it (checkImportedMesh). Empty when the file fails the pre-check, when the direct readers do
// not take it, or when both give the same outcome: the same reason, or the same positions to the last bit
// and the same faces; else what differs. taken, when given, tells whether the direct readers took it.
std::string directReadDifference(const std::string& folder, const std::string& name, std::string_view bytes,
                                 bool* taken = nullptr);
