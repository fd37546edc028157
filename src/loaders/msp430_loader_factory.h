#pragma once
// The MSP430 boot loaders as programming back-ends of the workflow.
//
// Msp430LoaderFactory creates T_BSL430 and T_BSL_54XX_430 for the loader
// kinds Bsl430 and Bsl54xx430 and hands every other request to the factory it
// was given (the other families' back-ends). Each created loader owns its
// link to the found port and lives for one Program call. Main thread only.
#include <memory>

#include "loaders/loader_context.h"
#include "updater/workflow/loader_factory.h"

namespace loaders {

/// The loader context of one step of the window's workflow, on `port`.
LoaderContext ContextFor(const updater::LoaderContext& context, LoaderPort& port);

/// A ProgrammingLoader for an MSP430 kind; null for any other kind.
std::unique_ptr<updater::ProgrammingLoader> CreateMsp430Loader(updater::LoaderKind kind,
                                                               const updater::LoaderContext& context);

class Msp430LoaderFactory final : public updater::LoaderFactory {
 public:
  /// `others` serves the kinds that are not MSP430 boot loaders; it must
  /// outlive this factory.
  explicit Msp430LoaderFactory(updater::LoaderFactory& others) : others_(others) {}

  std::unique_ptr<updater::ProgrammingLoader> CreateLoader(updater::LoaderKind kind,
                                                           const updater::LoaderContext& context) override;
  int RunExternal(updater::ExternalHandler handler, const updater::LoaderContext& context,
                  const char* fileName) override {
    return others_.RunExternal(handler, context, fileName);
  }
  std::unique_ptr<updater::BackgroundLoader> StartBasicLoader(const updater::LoaderContext& context) override {
    return others_.StartBasicLoader(context);
  }

 private:
  updater::LoaderFactory& others_;
};

}  // namespace loaders
