// The search over ports and baud rates, line errors, the boot-loader probes
// and the failure messages.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "run_fixture.h"

namespace updater {
namespace {

using testing::FirmwareScript;
using testing::RunTest;

constexpr speed_t kNever = B110;  // a rate the search never tries: a silent port

class ThreePortSearch : public RunTest {
 protected:
  ThreePortSearch() : RunTest({kNever, kNever, B9600}) {}
};

TEST_F(ThreePortSearch, InstrumentOnTheThirdPortAtTheSecondRateIsFound) {
  Install();
  FirmwareScript same;
  same.version = "1.20";
  run_.Answer(2, same);
  run_.Start();
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed));  // same version, answered No
  ASSERT_TRUE(run_.RunUntil([&] { return run_.Received(2, "A.1121"); }));

  EXPECT_EQ(run_.form->FoundPort(), 2);
  EXPECT_EQ(run_.view.panels[1], "Com3");
  EXPECT_EQ(run_.workflow->BaudIndex(), 1);
  EXPECT_EQ(run_.view.panels[2], "9600");
  EXPECT_TRUE(run_.view.Called("box Info: The latest software version1.20 is already in device."));
  // The first identify command came at 4800 bit/s and went unanswered; the
  // instrument saw the whole conversation at 9600 and the resume command.
  const std::vector<std::string> expected = {"A.1111", "A.1000", "A.2003", "A.2000", "A.2001", "A.4001", "A.1121"};
  EXPECT_EQ(run_.instruments[2].Lines(), expected);
  EXPECT_FALSE(run_.form->Ports().At(0)->IsOpen());
  EXPECT_FALSE(run_.form->Ports().At(1)->IsOpen());
  EXPECT_TRUE(run_.form->Ports().At(2)->IsOpen());
  EXPECT_TRUE(run_.view.okEnabled);
}

// A second device on COM 2 talks at another rate: its bytes arrive garbled,
// with framing errors, while the instrument on COM 1 is identified.
class NoisyNeighbourSearch : public RunTest {
 protected:
  NoisyNeighbourSearch() : RunTest({B9600, kNever}) {}
};

TEST_F(NoisyNeighbourSearch, LineErrorsOfAnotherPortLeaveTheFoundPortAlone) {
  FirmwareScript same;
  same.version = "1.20";
  Install();
  // While the found instrument is asked for its identity, the neighbour talks;
  // the answer comes once its line errors have been announced. The
  // instrument's thread outlives this body and may see a repeated "A.2003"
  // (the watchdog's, on a loaded machine) late: what it touches is shared, not
  // on this stack, and the neighbour's port, which the run closes after the
  // serial number, is used only at the first "A.2003".
  struct Neighbour {
    std::atomic<platform::SerialPort*> port{nullptr};
    std::atomic<bool> talked{false};
  };
  const auto neighbour = std::make_shared<Neighbour>();
  testing::FakeInstrument& noisy = run_.instruments[1];
  run_.instruments[0].onLine = [neighbour, &noisy, same](const std::string& line) {
    if (line == "A.2003" && !neighbour->talked.exchange(true)) {
      for (int i = 0; i < 3; ++i) {
        noisy.Send("\xF0\xF8");
        neighbour->port.load()->ReportLineErrors({.frame = true});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    return same.Answer(line);
  };
  run_.Start();
  neighbour->port = run_.form->Ports().At(1)->DriverPort();
  ASSERT_NE(neighbour->port.load(), nullptr);
  run_.PressOk();
  ASSERT_TRUE(run_.RunUntilOutcome(RunOutcome::NotProgrammed)) << ::testing::PrintToString(run_.view.calls);
  EXPECT_EQ(run_.form->FoundPort(), 0);
  EXPECT_EQ(run_.workflow->BaudIndex(), 1);
  EXPECT_FALSE(run_.workflow->LineErrorSeen());
  EXPECT_FALSE(run_.view.Called("box Error"));
  EXPECT_TRUE(run_.view.Called("box Info: The latest software version1.20 is already in device."));
}

class OnePortSearch : public RunTest {
 protected:
  OnePortSearch() : RunTest({B9600}) {}
  // No instrument answers, whatever the rate.
  void StartSilent() {
    Install();
    run_.Start();
    run_.PressOk();
  }
  // Bytes at the wrong rate arrive garbled and with a framing error.
  void ReportLineError() {
    run_.instruments[0].Send("\xF0\xF8");
    run_.form->Ports().At(0)->DriverPort()->ReportLineErrors({.frame = true});
  }
};

TEST_F(OnePortSearch, ALineErrorMovesToTheNextRateAtOnce) {
  StartRun(FirmwareScript{});
  ASSERT_TRUE(run_.RunUntil([&] { return run_.instruments[0].Raw().find("A.1111") != std::string::npos; }));
  ReportLineError();
  ASSERT_TRUE(run_.RunUntil([&] { return run_.form->FoundPort() == 0; }));
  EXPECT_TRUE(run_.workflow->LineErrorSeen());
  EXPECT_EQ(run_.workflow->BaudIndex(), 1);
  EXPECT_EQ(run_.view.panels[2], "9600");
}

TEST_F(OnePortSearch, AfterALineErrorTheWatchdogRepeatsTheRate) {
  StartSilent();
  ASSERT_TRUE(run_.RunUntil([&] { return run_.instruments[0].Raw().find("A.1111") != std::string::npos; }));
  ReportLineError();
  ASSERT_TRUE(run_.RunUntil([&] { return run_.workflow->BaudIndex() == 1; }));
  run_.RunUntil([] { return false; }, 4 * TWorkflow::kWatchdogMs);
  EXPECT_EQ(run_.workflow->BaudIndex(), 1);
  EXPECT_FALSE(run_.view.Called("box Error"));
}

TEST_F(OnePortSearch, ALineErrorInsideTheStepsOwnWaitLetsTheSearchAdvance) {
  // The error is reported before the run starts, so that its notification
  // waits in the queue until the first step processes messages in its own
  // wait, as bytes of the rate just left would.
  Install();
  run_.Start();
  ReportLineError();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the reader posts it
  run_.PressOk();
  EXPECT_TRUE(run_.RunUntil([&] { return run_.workflow->BaudIndex() == 2; }, 3 * TWorkflow::kWatchdogMs));
  EXPECT_FALSE(run_.workflow->LineErrorSeen());
}

TEST_F(OnePortSearch, ProbesThenFailureBoxesFirstANewRunThenTheEnd) {
  StartSilent();
  ASSERT_TRUE(run_.RunUntil([&] { return run_.view.closed; }, 200000));

  const std::string raw = run_.instruments[0].Raw();
  EXPECT_NE(raw.find("\x80"), std::string::npos);
  EXPECT_NE(raw.find(std::string("\x85\x01\x00\x1A", 4)), std::string::npos);
  std::vector<std::string> boxes;
  for (const std::string& call : run_.view.calls) {
    if (call.rfind("box ", 0) == 0) boxes.push_back(call);
  }
  const std::vector<std::string> expected = {
      "box Info: Start the boot loader by key\r\nConfirm with the Ok-button!\r\n",
      "box Error: No device found !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic search "
      "with Ok",
      "box Info: Start the boot loader by key\r\nConfirm with the Ok-button!\r\n",
      "box Error: No device found !!\r\nProgram is aborted !!",
  };
  EXPECT_EQ(boxes, expected);
  EXPECT_EQ(run_.form->Outcome(), RunOutcome::NotFound);
}

TEST_F(OnePortSearch, AnInstrumentThatStopsAnsweringEndsInTheTransmissionError) {
  FirmwareScript script;
  script.extra = {{"A.2003", ""}};  // never answers the identification
  StartRun(script);
  ASSERT_TRUE(run_.RunUntil([&] { return run_.view.closed; }, 60000));
  EXPECT_TRUE(run_.view.Called("box Error: Transmit error !!"));
  std::size_t asked = 0;
  for (const std::string& line : run_.instruments[0].Lines()) asked += line == "A.2003" ? 1 : 0;
  EXPECT_EQ(asked, 1u + TWorkflow::kIdentRetries);
}

}  // namespace
}  // namespace updater
