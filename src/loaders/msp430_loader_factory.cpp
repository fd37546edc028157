#include "loaders/msp430_loader_factory.h"

#include <string>

#include "loaders/bsl54xx430.h"
#include "loaders/com_port_link.h"
#include "updater/update_form.h"

namespace loaders {
namespace {

class Msp430Loader final : public updater::ProgrammingLoader {
 public:
  Msp430Loader(updater::LoaderKind kind, const updater::LoaderContext& context) : link_(context.port) {
    const LoaderContext own = ContextFor(context, link_);
    if (kind == updater::LoaderKind::Bsl54xx430) {
      loader_ = std::make_unique<T_BSL_54XX_430>(own);
    } else {
      loader_ = std::make_unique<T_BSL430>(own);
    }
  }

  int Program(const updater::ProgramArgs& args) override {
    return loader_->Program(args.component, args.file, args.syncFirst, args.queryFirst);
  }

 private:
  ComPortLink link_;
  std::unique_ptr<T_BSL430> loader_;
};

}  // namespace

LoaderContext ContextFor(const updater::LoaderContext& context, LoaderPort& port) {
  updater::TUpdateForm& window = context.window;
  updater::TWindowOutput& output = context.output;
  LoaderContext own;
  own.language = context.language;
  own.view = &context.view;
  own.reportProgress = [&output](std::string_view prefix, float percent) { output.ReportProgress(prefix, percent); };
  own.logCommand = [&output](std::string_view text) { output.LogCommand(text); };
  own.wait = &context.wait;
  own.record = context.record;
  own.port = &port;
  own.events = &context.events;
  own.processEvents = [&window] { window.ProcessEvents(); };
  own.timers = &window.Timers();
  own.loop = &window.Loop();
  own.startCmdIndex = window.Profiles().StartCmdIndex;
  own.findProgDefFile = [&window](std::int32_t prozTyp) {
    const char* name = updater::FindProgDefFile(window.Profiles(), prozTyp);
    return std::string(name ? name : "");
  };
  own.workDir = window.Paths().workDir;
  return own;
}

std::unique_ptr<updater::ProgrammingLoader> CreateMsp430Loader(updater::LoaderKind kind,
                                                               const updater::LoaderContext& context) {
  if (kind != updater::LoaderKind::Bsl430 && kind != updater::LoaderKind::Bsl54xx430) return nullptr;
  return std::make_unique<Msp430Loader>(kind, context);
}

std::unique_ptr<updater::ProgrammingLoader> Msp430LoaderFactory::CreateLoader(updater::LoaderKind kind,
                                                                              const updater::LoaderContext& context) {
  if (auto loader = CreateMsp430Loader(kind, context)) return loader;
  return others_.CreateLoader(kind, context);
}

}  // namespace loaders
