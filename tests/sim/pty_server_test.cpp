// The server on a real pseudo-terminal: the updater's side opens the slave,
// sets its line and talks; the dump files follow.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "sim/dump_writer.h"
#include "sim/presets.h"
#include "sim/server.h"

namespace sim {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PtyServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sim-dump-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dumpDir_ = pattern;
    ASSERT_EQ(pty_.Open(), "");
    ASSERT_EQ(::pipe(stop_), 0);
    clock_ = platform::MakeSteadyClock(50.0);
    instrument_ = std::make_unique<Instrument>(*FindPreset("msp430-classic"), FaultPlan{}, *clock_);
    dump_ = std::make_unique<DumpWriter>(dumpDir_);
    server_ = std::make_unique<Server>(pty_, *instrument_, *clock_, ServerOptions{true, 50.0, dump_.get(), stop_[0]});
    thread_ = std::thread([this] { result_ = server_->Run(); });
    slave_ = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
  }

  void TearDown() override {
    StopServer();
    if (slave_ >= 0) ::close(slave_);
    ::close(stop_[0]);
    ::close(stop_[1]);
    std::system(("rm -rf " + dumpDir_).c_str());
  }

  void StopServer() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    ASSERT_EQ(::write(stop_[1], &byte, 1), 1);
    thread_.join();
  }

  void SetLine(speed_t speed, bool twoStopBits) {
    termios settings{};
    ASSERT_EQ(::tcgetattr(slave_, &settings), 0);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    settings.c_cflag = twoStopBits ? (settings.c_cflag | CSTOPB) : (settings.c_cflag & ~CSTOPB);
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &settings), 0);
  }

  // Writes a command and collects what comes back until `bytes` have arrived
  // or two seconds have passed.
  std::string Ask(const std::string& command, std::size_t bytes) {
    EXPECT_EQ(::write(slave_, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (reply.size() < bytes && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{slave_, POLLIN, 0};
      if (::poll(&fd, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(slave_, buffer, sizeof buffer);
      if (n > 0) reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
  }

  std::string dumpDir_;
  PtyTransport pty_;
  int stop_[2] = {-1, -1};
  int slave_ = -1;
  std::unique_ptr<platform::Clock> clock_;
  std::unique_ptr<Instrument> instrument_;
  std::unique_ptr<DumpWriter> dump_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
  int result_ = -1;
};

TEST_F(PtyServerTest, AnswersAtItsRateAndKeepsTheDump) {
  SetLine(B9600, true);
  EXPECT_EQ(Ask("\r\n\r\nA.1111\r\n", 3), "!\r\n");
  EXPECT_EQ(Ask("A.2001\r\n", 11), "I.21#1.10\r\n");
  StopServer();
  EXPECT_EQ(result_, 0);
  const std::string state = ReadFile(dumpDir_ + "/state.json");
  EXPECT_NE(state.find("\"running\": \"firmware\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"commands\": [\"A.1111\", \"A.2001\"]"), std::string::npos) << state;
  const std::string flash = ReadFile(dumpDir_ + "/flash.bin");
  ASSERT_EQ(flash.size(), 0x10000u);
  EXPECT_EQ(flash.substr(0x1080, 5), std::string("1.10\0", 5));
  EXPECT_EQ(static_cast<unsigned char>(flash[0x0FF0]), 0xFF) << "only flash is dumped";
}

TEST_F(PtyServerTest, AtAWrongRateOnlyNoiseComesBack) {
  SetLine(B4800, true);
  const std::string reply = Ask("A.1111\r\n", 8);
  EXPECT_FALSE(reply.empty());
  EXPECT_EQ(reply.find('!'), std::string::npos);
  SetLine(B9600, false);
  EXPECT_EQ(Ask("A.1111\r\n", 8).find('!'), std::string::npos);
}

// A pty's drain returns at once, so the updater may switch its side before
// the simulator has read the last frame sent at the old settings; on a real
// line that frame had left before the switch. Sent after the switch, a frame
// is noise.
TEST_F(PtyServerTest, AFrameSentJustBeforeTheLineChangesIsHeardOneSentAfterIsNot) {
  SetLine(B9600, true);
  ASSERT_EQ(Ask("A.1111\r\n", 3), "!\r\n");
  const std::string before = "A.2001\r\n";
  ASSERT_EQ(::write(slave_, before.data(), before.size()), static_cast<ssize_t>(before.size()));
  SetLine(B4800, true);
  // Its answer arrives whole if it left before the switch, else as noise.
  const std::string answer = Ask("", 1);
  ASSERT_FALSE(answer.empty());
  EXPECT_TRUE(answer.front() == 'I' || answer.find('I') == std::string::npos) << answer;
  EXPECT_EQ(Ask("A.2002\r\n", 8).find('I'), std::string::npos);
  StopServer();
  const std::string state = ReadFile(dumpDir_ + "/state.json");
  EXPECT_NE(state.find("\"commands\": [\"A.1111\", \"A.2001\"]"), std::string::npos) << state;
}

}  // namespace
}  // namespace sim
