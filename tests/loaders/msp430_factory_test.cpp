// The workflow gets the MSP430 loaders through the factory; every other kind
// goes to the factory behind it.
#include "loaders/msp430_loader_factory.h"

#include <gtest/gtest.h>

#include "loaders/loader_texts.h"
#include "platform/plain_message_loop.h"
#include "recording_view.h"
#include "updater/update_form.h"

namespace loaders {
namespace {

class CountingFactory final : public updater::LoaderFactory {
 public:
  int loaders = 0, externals = 0;
  std::unique_ptr<updater::ProgrammingLoader> CreateLoader(updater::LoaderKind, const updater::LoaderContext&) override {
    ++loaders;
    return nullptr;
  }
  int RunExternal(updater::ExternalHandler, const updater::LoaderContext&, const char*) override {
    return ++externals;
  }
  std::unique_ptr<updater::BackgroundLoader> StartBasicLoader(const updater::LoaderContext&) override { return nullptr; }
};

TEST(Msp430LoaderFactory, CreatesTheBootLoadersAndPassesTheRestOn) {
  platform::PlainMessageLoop loop;
  test::RecordingView view;
  updater::TUpdateForm form(loop, view, {"/nonexistent-dir", "/nonexistent-dir"});
  const updater::LoaderContext context{1, view, form.Output(), form.Wait(), &form.Record(), nullptr, form.Events(),
                                       form};
  CountingFactory others;
  Msp430LoaderFactory factory(others);

  EXPECT_EQ(factory.CreateLoader(updater::LoaderKind::Emf, context), nullptr);
  EXPECT_EQ(factory.RunExternal(updater::ExternalHandler::HexLoad, context, "X.HEX"), 1);
  EXPECT_EQ(others.loaders, 1);

  for (const auto kind : {updater::LoaderKind::Bsl430, updater::LoaderKind::Bsl54xx430}) {
    view.boxes.clear();
    std::unique_ptr<updater::ProgrammingLoader> loader = factory.CreateLoader(kind, context);
    ASSERT_NE(loader, nullptr);
    // The file is looked for in the installation's folder; it is not there.
    EXPECT_EQ(loader->Program({0, "FW.TXT", true, false, false}), 0);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], FileErrorMessage(TiTxtError::FileMissing, "FW.TXT", 0, 1).view());
  }
  EXPECT_EQ(others.loaders, 1);
}

}  // namespace
}  // namespace loaders
