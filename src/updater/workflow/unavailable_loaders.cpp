#include "updater/workflow/unavailable_loaders.h"

#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

void TellUnavailable(const LoaderContext& context) {
  context.view.MessageBox(texts::kLoaderUnavailable.Pick(context.language), texts::kCaptionFehler.Pick(context.language),
                          BoxIcon::Error, BoxButtons::Ok);
}

class UnavailableLoader final : public ProgrammingLoader {
 public:
  explicit UnavailableLoader(const LoaderContext& context) : context_(context) {}
  int Program(const ProgramArgs&) override {
    TellUnavailable(context_);
    return 0;
  }

 private:
  LoaderContext context_;
};

// Stands in for the download that would run: it tells the user once and
// leaves the run where it is.
class UnavailableBackground final : public BackgroundLoader {
 public:
  void RequestStop() override {}
};

}  // namespace

std::unique_ptr<ProgrammingLoader> UnavailableLoaderFactory::CreateLoader(LoaderKind, const LoaderContext& context) {
  return std::make_unique<UnavailableLoader>(context);
}

int UnavailableLoaderFactory::RunExternal(ExternalHandler, const LoaderContext& context, const char*) {
  TellUnavailable(context);
  return 1;
}

std::unique_ptr<BackgroundLoader> UnavailableLoaderFactory::StartBasicLoader(const LoaderContext& context) {
  TellUnavailable(context);
  return std::make_unique<UnavailableBackground>();
}

}  // namespace updater
