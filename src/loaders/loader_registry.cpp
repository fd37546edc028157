#include "loaders/loader_registry.h"

#include "core/text_helpers.h"
#include "loaders/session_texts.h"

namespace loaders {
namespace {

void TellUnavailable(const LoaderContext& context) {
  context.view.MessageBox(kLoaderUnavailable.Pick(context.language), kCaptionError.Pick(context.language),
                          updater::BoxIcon::Error, updater::BoxButtons::Ok);
}

class UnavailableLoader final : public ProgrammingLoader {
 public:
  explicit UnavailableLoader(const LoaderContext& context) : context_(context) {}
  int Program(const ProgramArgs&) override {
    TellUnavailable(context_);
    return 0;
  }

 private:
  const LoaderContext& context_;
};

// Stands in for a download that is not built: it has told the user once and
// leaves the run where it is.
class UnavailableBackground final : public BackgroundLoader {
 public:
  void RequestStop() override {}
  bool Interrupt() override { return false; }
};

}  // namespace

std::string ConnectionLostText(std::string_view portName, int language) {
  return core::ReplaceAll(kConnectionLost.Pick(language), "PORT", portName.empty() ? "?" : portName);
}

std::unique_ptr<ProgrammingLoader> LoaderRegistry::Create(LoaderKind kind, const LoaderContext& context) const {
  if (const MakeLoader& make = loaders_[Index(kind)]) return make(context);
  return std::make_unique<UnavailableLoader>(context);
}

int LoaderRegistry::Run(ExternalHandler handler, const LoaderContext& context, const char* fileName) const {
  if (const RunExternal& run = externals_[Index(handler)]) return run(context, fileName);
  TellUnavailable(context);
  return 1;
}

std::unique_ptr<BackgroundLoader> LoaderRegistry::StartBasicLoader(const LoaderContext& context) const {
  if (basicLoader_) return basicLoader_(context);
  TellUnavailable(context);
  return std::make_unique<UnavailableBackground>();
}

}  // namespace loaders
