#pragma once
// The programming back-ends this program is built with, as registry lines:
// one line per family. The program fills its registry with them at start-up;
// the end-to-end tests use the same table.
#include "loaders/loader_registry.h"

namespace loaders {

/// Adds every back-end of this build to `registry`.
void AddProgramBackEnds(LoaderRegistry& registry);

/// A registry with every back-end of this build.
inline LoaderRegistry ProgramBackEnds() {
  LoaderRegistry registry;
  AddProgramBackEnds(registry);
  return registry;
}

}  // namespace loaders
