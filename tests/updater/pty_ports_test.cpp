// The port table and the reply parser over the real serial component, with
// the instrument played on the master sides of pseudo-terminals.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "installation_fixture.h"
#include "platform/plain_message_loop.h"
#include "pty_pair.h"
#include "scripted_view.h"
#include "updater/run_workflow.h"
#include "loaders/loader_registry.h"
#include "updater/workflow/workflow.h"
#include "updater/update_form.h"

namespace updater {
namespace {

// Protocol waits run 20 times faster; set before the clock is first used.
const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

using testing::InstallationFixture;
using testing::PtyPairs;
using testing::RunUntil;

struct Seen {
  std::int32_t code;
  std::string text;
  friend bool operator==(const Seen&, const Seen&) = default;
};

class PtyPortsTest : public ::testing::Test {
 protected:
  explicit PtyPortsTest(int ports = 3) : ptys_(ports) { SetWorkflowMaker(WorkflowWith(loaders_)); }
  ~PtyPortsTest() override { SetWorkflowMaker(nullptr); }

  void StartForm(const std::string& updateIni = "Language=0\r\nVersion=1\r\n") {
    installation_ = std::make_unique<InstallationFixture>(updateIni);
    form_ = std::make_unique<TUpdateForm>(loop_, view_, installation_->Paths());
    ASSERT_TRUE(form_->Start());
    // Subscribed after the workflow, so it sees every event first.
    form_->Events().Subscribe(&PtyPortsTest::Record, this);
  }

  static core::TEventRecord Record(void* object, core::TEvents&, core::TEventRecord event) {
    if (event.Kind == core::EVT_MSG && event.Code != EV_SERIAL_DATA) {
      const bool text = event.Code < EV_ACKNOWLEDGE;
      static_cast<PtyPortsTest*>(object)->seen_.push_back({event.Code, text ? event.Text() : ""});
    }
    return event;
  }

  PtyPairs ptys_;
  platform::PlainMessageLoop loop_;
  testing::ScriptedView view_;
  std::unique_ptr<InstallationFixture> installation_;
  loaders::LoaderRegistry loaders_;
  std::unique_ptr<TUpdateForm> form_;
  std::vector<Seen> seen_;
};

TEST_F(PtyPortsTest, EveryUsablePortIsOpenedAndWrittenToInTableOrder) {
  StartForm();
  ASSERT_EQ(form_->Ports().Count(), 3);
  EXPECT_EQ(view_.panels[0], "[Com1] [2] [3]");
  EXPECT_TRUE(view_.Called("log: Schnittstellen: COM1 (/dev/pts/"));

  form_->OkBitBtnClick();
  for (int port = 0; port < 3; ++port) EXPECT_EQ(ptys_.Received(port, 12), "\r\n\r\nA.1111\r\n") << port;
}

TEST_F(PtyPortsTest, TheFirstAcknowledgingPortBecomesTheFoundPort) {
  StartForm();
  form_->FormKeyUp(HiddenKey::ToggleDebug);
  ptys_.Send(1, "!\r\n");
  ASSERT_TRUE(RunUntil(loop_, [&] { return form_->FoundPort() == 1; }));
  EXPECT_EQ(view_.panels[1], "Com2");
  EXPECT_EQ(form_->Output().FormatText("COM X"), "COM 2");

  ptys_.Send(0, "!\r\n");
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.size() == 2; }));
  EXPECT_EQ(form_->FoundPort(), 1);
  EXPECT_TRUE(view_.Called("log: ! <-"));

  // Commands now go to the found port only (after what the workflow's
  // acknowledgement ladder wrote there).
  form_->SendCommand("A.1000\r\n");
  std::string found;
  for (int i = 0; i < 20 && !found.ends_with("A.1000\r\n"); ++i) found += ptys_.Received(1, 1, 100);
  EXPECT_TRUE(found.ends_with("A.1000\r\n")) << found;
  EXPECT_EQ(ptys_.Received(0, 1, 100), "");
  EXPECT_TRUE(view_.Called("log: A.1000\r\n"));
}

TEST_F(PtyPortsTest, ARepliesSplitOverTwoArrivalsIsPostedOnce) {
  StartForm();
  ptys_.Send(2, "I.20#28");
  ASSERT_TRUE(RunUntil(loop_, [&] { return form_->Parser().ReceivedCount() == 7; }));
  ptys_.Send(2, "101.000\r\nI.21#1.23");
  ptys_.Send(2, "\r\n");
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.size() >= 2; }));
  EXPECT_EQ(seen_, (std::vector<Seen>{{20, "28101.000"}, {21, "1.23"}}));
  EXPECT_EQ(form_->FoundPort(), -1);  // a numbered reply does not find the port
}

// A reply is handled the moment its line end is in; until then a "Q" in it
// may still be a Lab answer byte or part of the reply, which only the quiet
// after it tells, so a reply still coming is awaited as a whole.
TEST_F(PtyPortsTest, AQInAReplyStillComingIsPartOfTheReplyAndALoneQIsALabAnswer) {
  StartForm();
  const auto sent = std::chrono::steady_clock::now();
  ptys_.Send(2, "I.20#2Q");
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ptys_.Send(2, "8\r\n");
  if (std::chrono::steady_clock::now() - sent > std::chrono::milliseconds(15))
    GTEST_SKIP() << "the rest left after the line's quiet time: this machine is too loaded to tell";
  ASSERT_TRUE(RunUntil(loop_, [&] { return !seen_.empty(); }));
  ptys_.Send(2, "Q");
  ASSERT_TRUE(RunUntil(loop_, [&] { return seen_.size() >= 2; }));
  EXPECT_EQ(seen_, (std::vector<Seen>{{20, "2Q8"}, {EV_LAB_ANSWER, ""}}));
}

class FixedPortTest : public PtyPortsTest {
 protected:
  FixedPortTest() : PtyPortsTest(2) {}
};

TEST_F(FixedPortTest, OnlyTheConfiguredPortIsUsed) {
  StartForm("Language=0\r\nCom=2\r\n");
  ASSERT_EQ(form_->Ports().Count(), 1);
  EXPECT_EQ(view_.panels[0], "Com2");
  form_->OkBitBtnClick();
  EXPECT_EQ(ptys_.Received(1, 12), "\r\n\r\nA.1111\r\n");
  EXPECT_EQ(ptys_.Received(0, 1, 100), "");

  ptys_.Send(1, "!\r\n");
  ASSERT_TRUE(RunUntil(loop_, [&] { return form_->FoundPort() == 0; }));
  EXPECT_EQ(view_.panels[1], "Com2");
}

TEST_F(FixedPortTest, APortHeldByAnotherProgramIsNamedWithItsReason) {
  const int held = ::open(ptys_.Path(0).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const int alsoHeld = ::open(ptys_.Path(1).c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::flock(alsoHeld, LOCK_EX | LOCK_NB), 0);
  StartForm();
  EXPECT_EQ(form_->Ports().Count(), 0);
  EXPECT_TRUE(view_.Called("log: Keine nutzbare serielle Schnittstelle gefunden!"));
  // Held by this very process, which is never named as the holder.
  EXPECT_TRUE(view_.Called("log: COM1 (" + ptys_.Path(0) + "): von einem anderen Programm belegt"));
  ::close(held);
  ::close(alsoHeld);
}

TEST_F(FixedPortTest, ClosingReleasesThePorts) {
  StartForm();
  form_->Close();
  EXPECT_EQ(form_->Ports().Count(), 0);
  ptys_.Send(0, "!\r\n");  // nothing listens any more
  RunUntil(loop_, [] { return false; }, 200);
  EXPECT_EQ(form_->FoundPort(), -1);
}

}  // namespace
}  // namespace updater
