// The workflow gets every back-end from the registry: the registered families
// by their kind, and a clear refusal for anything not registered.
#include "loaders/loader_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "loader_services.h"
#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/loader_texts.h"
#include "loaders/session_texts.h"

namespace loaders {
namespace {

class NoLine final : public LoaderPort {
 public:
  int writes = 0;
  int Write(const std::uint8_t*, int length) override { return ++writes, length; }
  int WriteText(const char*) override { return ++writes, 1; }
  int Read(std::uint8_t*, int) override { return 0; }
  void ChangeV24Parameter(serial::BaudTag, serial::StopBitTag, serial::ParitaetTag, bool) override {}
  void ChangeHandShake(serial::HandshakeTag) override {}
  void SaveLastV24Parameter() override {}
  void LoadLastV24Parameter() override {}
  serial::BaudTag LineBaud() const override { return serial::B__9600; }
  std::string Describe() const override { return "COM1"; }
};

class LoaderRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/loaders-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  std::string dir_;
  test::LoaderServices services_;
  NoLine port_;
};

TEST_F(LoaderRegistryTest, EachKindGetsItsOwnLoader) {
  // The classic loader takes at most 400000 bytes, the 5xx loader more: a
  // file between the two tells which loader the registry made.
  std::ofstream(dir_ + "/FW.TXT") << std::string(T_BSL430::kFileBytes + 1, ' ');
  LoaderRegistry registry;
  registry.Add(LoaderKind::Bsl430, &Make<T_BSL430>);
  registry.Add(LoaderKind::Bsl54xx430, &Make<T_BSL_54XX_430>);
  const LoaderContext context = services_.Context(port_, dir_);
  const std::string tooLarge(FileErrorMessage(TiTxtError::FileTooLarge, "FW.TXT", 0, 1).view());

  EXPECT_EQ(registry.Create(LoaderKind::Bsl430, context)->Program(Msp430Args{0, "FW.TXT", true, false}), 0);
  ASSERT_EQ(services_.view.boxes.size(), 1u);
  EXPECT_EQ(services_.view.boxes[0], tooLarge);

  EXPECT_EQ(registry.Create(LoaderKind::Bsl54xx430, context)->Program(Msp430Args{0, "FW.TXT", true, false}), 0);
  ASSERT_EQ(services_.view.boxes.size(), 2u);
  EXPECT_NE(services_.view.boxes[1], tooLarge);
  EXPECT_EQ(port_.writes, 0);
}

TEST_F(LoaderRegistryTest, WhatIsNotRegisteredFailsWithTheUnavailableMessage) {
  LoaderRegistry registry;
  registry.Add(LoaderKind::Bsl430, &Make<T_BSL430>);
  const LoaderContext context = services_.Context(port_, dir_);
  const std::string unavailable(kLoaderUnavailable.Pick(1));

  EXPECT_EQ(registry.Create(LoaderKind::Emf, context)->Program(EmfArgs{0, "FW.BIN", false}), 0);
  EXPECT_EQ(registry.Run(ExternalHandler::HexLoad, context, "FW.mot"), 1);
  EXPECT_NE(registry.StartBasicLoader(context), nullptr);
  EXPECT_EQ(services_.view.boxes, (std::vector<std::string>{unavailable, unavailable, unavailable}));

  // A family's loader refuses another family's arguments without a word.
  EXPECT_EQ(registry.Create(LoaderKind::Bsl430, context)->Program(WinCEArgs{"FW.EXE", false}), 0);
  EXPECT_EQ(services_.view.boxes.size(), 3u);
  EXPECT_EQ(port_.writes, 0);
}

}  // namespace
}  // namespace loaders
