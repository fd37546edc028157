// The library worker against a scripted library: which calls it makes in
// which order, what a pass's outcome is, and how its progress reaches the
// view on the main thread (this test runs under the thread sanitizer).
#include "loaders/hex_load.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "loaders/library_progress.h"
#include "platform/plain_message_loop.h"
#include "recording_view.h"
#include "updater/device_record.h"
#include "updater/window_output.h"

namespace loaders {
namespace {

using Clock = std::chrono::steady_clock;

// The scripted library: what each call returns, and the calls it saw. The
// worker is the only caller while a pass runs; the test reads after the end.
struct Script {
  int init = 1;
  std::vector<int> btlActive{1};
  int clear = 1;
  int program = 1;
  std::vector<int> percents;
  std::vector<std::string> calls;
  std::vector<Clock::time_point> btlAsked;
  std::wstring file;
  int com = 0;
} script;

int Init(int com) {
  script.calls.push_back("Init");
  script.com = com;
  return script.init;
}
int IsBtlActive() {
  const std::size_t n = script.btlAsked.size();
  script.calls.push_back("IsBTLActive");
  script.btlAsked.push_back(Clock::now());
  return n < script.btlActive.size() ? script.btlActive[n] : 0;
}
int Clear() {
  script.calls.push_back("Clear");
  return script.clear;
}
int Program(const wchar_t* file, int reserved, M16ProgressCallback progress) {
  script.calls.push_back("Program" + std::to_string(reserved));
  script.file = file;
  for (const int percent : script.percents) progress(percent);
  return script.program;
}
int MakeValid() {
  script.calls.push_back("MakeValid");
  return 1;
}
int ExitAndStart() {
  script.calls.push_back("ExitAndStartApplication");
  return 1;
}
int Deinit() {
  script.calls.push_back("Deinit");
  return 1;
}

constexpr M16Functions kLibrary{&Init,      &IsBtlActive,  &Clear, &Program,
                                &MakeValid, &ExitAndStart, &Deinit};

class HexLoadTest : public ::testing::Test {
 protected:
  void SetUp() override { script = Script{}; }

  // Runs one pass as the hand-off does: the main thread waits on its loop
  // and applies the reports that arrive.
  bool Pass(const M16Functions& functions) {
    LibraryProgress progress(loop_);
    THexLoad driver(functions, loop_.GetClock(), progress);
    driver.StartUpdate(WideFileName("FW\xE4.MOT"), 3);
    while (!progress.Deliver(view_, output_)) {
      loop_.WaitForMessage(loop_.GetClock().Now() + 1000);
      loop_.ProcessPendingMessages();
    }
    EXPECT_FALSE(driver.IsBusy());
    return driver.Succeeded();
  }

  platform::PlainMessageLoop loop_;
  test::RecordingView view_;
  updater::DeviceRecord record_;
  updater::TWindowOutput output_{view_, record_};
};

TEST_F(HexLoadTest, ABootLoaderThatAnswersTheSecondAskIsProgrammed) {
  script.btlActive = {0, 1};
  script.percents = {0, 50};
  EXPECT_TRUE(Pass(kLibrary));
  EXPECT_EQ(script.calls,
            (std::vector<std::string>{"Init", "IsBTLActive", "IsBTLActive", "Clear", "Program0",
                                      "MakeValid", "ExitAndStartApplication", "Deinit"}));
  ASSERT_EQ(script.btlAsked.size(), 2u);
  EXPECT_GE(script.btlAsked[1] - script.btlAsked[0], std::chrono::milliseconds(200));
  EXPECT_EQ(script.com, 3);
  EXPECT_EQ(script.file, L"FW\u00E4.MOT");
  // 50 % of the library: the bar at 55 of 105, 52.5 % reported.
  EXPECT_EQ(view_.progress, 55);
  EXPECT_EQ(view_.title, "Update [ 52.5 %]");
}

TEST_F(HexLoadTest, TheDriversOwnStepsCountOneToFive) {
  EXPECT_TRUE(Pass(kLibrary));
  EXPECT_EQ(view_.progress, 5);
  EXPECT_EQ(view_.title, "Update [ 5.0 %]");
}

TEST_F(HexLoadTest, AZeroResultFailsThePassAndDeinitStillRuns) {
  struct Case {
    void (*fault)();
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {[] { script.init = 0; }, {"Init", "Deinit"}},
      {[] {
         script.btlActive = {0, 0};
       },
       {"Init", "IsBTLActive", "IsBTLActive", "Deinit"}},
      {[] { script.clear = 0; }, {"Init", "IsBTLActive", "Clear", "Deinit"}},
      {[] { script.program = 0; }, {"Init", "IsBTLActive", "Clear", "Program0", "Deinit"}},
  };
  for (const Case& c : cases) {
    script = Script{};
    c.fault();
    EXPECT_FALSE(Pass(kLibrary));
    EXPECT_EQ(script.calls, c.calls);
  }
}

TEST_F(HexLoadTest, ALibraryWithoutInitIsNotCalledAndFails) {
  M16Functions functions = kLibrary;
  functions.init = nullptr;
  EXPECT_FALSE(Pass(functions));
  EXPECT_TRUE(script.calls.empty());
  EXPECT_EQ(view_.progress, 1);
}

TEST_F(HexLoadTest, TheLibrarysHundredPercentFillTheBar) {
  for (int p = 0; p <= 100; ++p) script.percents.push_back(p);
  EXPECT_TRUE(Pass(kLibrary));
  EXPECT_EQ(view_.progress, 105);
  EXPECT_EQ(view_.highestProgress, 105);
  EXPECT_EQ(view_.title, "Update [ 100.0 %]");
}

}  // namespace
}  // namespace loaders
