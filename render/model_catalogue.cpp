// The model files by slot and the slots wound the other way.
#include "model_catalogue.h"

#include <filesystem>

const char* const kModelPaths[kModelSlots] = {"data/sphere-unit.poly", "data/icos-unit.poly",
                                              "data/tpot-unit.poly", "data/penny3-unit.poly",
                                              "data/bunny-unit.poly"};

bool isReversedWinding(int slot) {
  return slot == 2 || slot == 4;
}

int slotOfFileName(std::string_view path) {
  const std::filesystem::path name = std::filesystem::path(path).filename();
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (std::filesystem::path(kModelPaths[slot]).filename() == name) {
      return slot;
    }
  }
  return -1;
}
