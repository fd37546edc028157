#include "ui/qt/qt_message_loop.h"

#include <gtest/gtest.h>
#include <time.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>
#include <vector>

namespace ui_qt {
namespace {

using platform::Message;
using platform::Tick;

// Runs Qt's own loop (as the idle window does) until `done` or 5 s.
template <class Done>
void RunQtUntil(Done done) {
  QEventLoop loop;
  QTimer check;
  check.callOnTimeout([&] {
    if (done()) loop.quit();
  });
  check.start(5);
  QTimer::singleShot(5000, &loop, [&] { loop.quit(); });
  loop.exec();
}

double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// A button that counts its paints.
class PaintCounter : public QPushButton {
 public:
  using QPushButton::QPushButton;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    QPushButton::paintEvent(event);
  }
};

TEST(QtMessageLoop, PostsFromAnotherThreadAreDeliveredInOrderByQtsOwnLoop) {
  QtMessageLoop loop;
  std::vector<std::intptr_t> got;
  loop.SetMessageHandler([&](const Message& m) { got.push_back(m.param); });
  std::thread poster([&] {
    for (int i = 0; i < 200; ++i) loop.Post({1, i});
  });
  RunQtUntil([&] { return got.size() == 200; });
  poster.join();
  ASSERT_EQ(got.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(got[i], i);
}

TEST(QtMessageLoop, TimersExpireInQtsOwnLoopAndStopWhenDisabled) {
  QtMessageLoop loop;
  int expiries = 0;
  auto timer = loop.CreateTimer([&] { ++expiries; });
  timer->SetInterval(20);
  timer->SetEnabled(true);
  RunQtUntil([&] { return expiries >= 3; });
  EXPECT_GE(expiries, 3);
  timer->SetEnabled(false);
  const int stopped = expiries;
  QTest::qWait(80);
  EXPECT_EQ(expiries, stopped);
}

// A nested wait delivers nothing, ends at a post from another thread or at its
// deadline, and blocks meanwhile instead of spinning.
TEST(QtMessageLoop, WaitBlocksWithoutDeliveringUntilPostOrDeadline) {
  QtMessageLoop loop;
  int delivered = 0;
  loop.SetMessageHandler([&](const Message&) { ++delivered; });
  const platform::Clock& clock = loop.GetClock();

  const double cpuBefore = ThreadCpuMs();
  Tick start = clock.Now();
  EXPECT_FALSE(loop.WaitForMessage(start + 300));
  EXPECT_GE(clock.Now() - start, 300u);
  EXPECT_LT(ThreadCpuMs() - cpuBefore, 100.0) << "the wait must block, not spin";

  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    loop.Post({7, 0});
  });
  start = clock.Now();
  EXPECT_TRUE(loop.WaitForMessage(start + 5000));
  EXPECT_LT(clock.Now() - start, 1000u);
  poster.join();
  EXPECT_EQ(delivered, 0);
  loop.ProcessPendingMessages();
  EXPECT_EQ(delivered, 1);
}

TEST(QtMessageLoop, ProcessesOnlyWhatWasPendingAtTheCall) {
  QtMessageLoop loop;
  int delivered = 0;
  loop.SetMessageHandler([&](const Message&) {
    ++delivered;
    loop.Post({2, 0});
  });
  loop.Post({1, 0});
  loop.ProcessPendingMessages();
  EXPECT_EQ(delivered, 1);
  loop.ProcessPendingMessages();
  EXPECT_EQ(delivered, 2);
}

// During a wait that processes nothing the window still repaints, but no
// message, timer expiry or click reaches anyone before the wait has ended;
// the click is handed on afterwards.
TEST(QtMessageLoop, IdleRepaintsButDeliversNoMessageTimerOrClick) {
  QtMessageLoop loop;
  PaintCounter button("OK");
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  int delivered = 0;
  loop.SetMessageHandler([&](const Message&) { ++delivered; });
  int expiries = 0;
  auto timer = loop.CreateTimer([&] { ++expiries; });
  timer->SetInterval(10);
  timer->SetEnabled(true);

  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop.Post({1, 0});
  });
  QTimer::singleShot(30, &button, [&] {
    button.update();
    QTest::mouseClick(&button, Qt::LeftButton);
  });
  const int paintsBefore = button.paints;
  loop.IdleWithoutDelivering(150);
  poster.join();

  EXPECT_GT(button.paints, paintsBefore) << "the window repaints during the wait";
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(expiries, 0);
  EXPECT_EQ(clicks, 0);

  RunQtUntil([&] { return clicks == 1 && delivered == 1 && expiries > 0; });
  EXPECT_EQ(clicks, 1) << "the held click arrives after the wait";
  EXPECT_EQ(delivered, 1);
  EXPECT_GT(expiries, 0);
}

// A modal dialog opened through the loop keeps delivering, as the logic's
// questions expect while the instrument keeps talking.
TEST(QtMessageLoop, ModalDialogDeliversMessages) {
  QtMessageLoop loop;
  int delivered = 0;
  loop.SetMessageHandler([&](const Message&) { ++delivered; });
  QDialog dialog;
  std::thread poster([&] { loop.Post({1, 0}); });
  QTimer check;
  check.callOnTimeout([&] {
    if (delivered > 0) dialog.accept();
  });
  check.start(5);
  QTimer::singleShot(5000, &dialog, [&] { dialog.reject(); });
  EXPECT_EQ(loop.RunModal(dialog), QDialog::Accepted);
  poster.join();
  EXPECT_EQ(delivered, 1);
}

}  // namespace
}  // namespace ui_qt
