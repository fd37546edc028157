#pragma once
// A LoaderFactory for builds without programming back-ends: every step tells
// the user that this programming path is not available yet and fails, so a
// run ends as a clear failure instead of pretending success.
#include "updater/workflow/loader_factory.h"

namespace updater {

class UnavailableLoaderFactory final : public LoaderFactory {
 public:
  std::unique_ptr<ProgrammingLoader> CreateLoader(LoaderKind kind, const LoaderContext& context) override;
  int RunExternal(ExternalHandler handler, const LoaderContext& context, const char* fileName) override;
  std::unique_ptr<BackgroundLoader> StartBasicLoader(const LoaderContext& context) override;
};

}  // namespace updater
