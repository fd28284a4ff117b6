// The loaders' one switch between writing their console lines and keeping quiet.
#include "loader_console.h"

namespace {

bool g_loaderLinesShown = true;

}  // namespace

void showLoaderLines(bool shown) {
  g_loaderLinesShown = shown;
}

bool loaderLinesShown() {
  return g_loaderLinesShown;
}
