#pragma once
// RunTest: a WorkflowRun with one profile (a Multi 770 programmed from the
// TI-TXT file MULTI.TXT), in English.
#include <gtest/gtest.h>

#include "workflow_run.h"

namespace updater::testing {

inline constexpr const char* kUpdateIni = "Language=1\r\nVersion=1.0\r\nBaud=\r\nCom=\r\n";

class RunTest : public ::testing::Test {
 protected:
  explicit RunTest(std::vector<speed_t> rates = {B4800}) : run_(std::move(rates)) {}

  void Install(const ProfileSpec& profile = {}, const std::string& offered = "1.20") {
    run_.Install(kUpdateIni, TextBlock() + ProfileBlock(profile));
    run_.dir.Write("MULTI.TXT", TiTxtImage(offered));
  }

  /// Installs, lets every instrument answer as `script` says, starts and presses OK.
  void StartRun(const FirmwareScript& script, const ProfileSpec& profile = {}, const std::string& offered = "1.20") {
    Install(profile, offered);
    run_.Answer(script);
    run_.Start();
    run_.PressOk();
  }

  /// The new firmware starts after programming and acknowledges.
  void FirmwareAcknowledgesAfterProgramming(std::size_t port = 0) {
    run_.loaders.onProgram = [this, port](const ProgramCall&) {
      run_.instruments[port].Send("!\r\n");
      return 1;
    };
  }

  WorkflowRun run_;
};

}  // namespace updater::testing
