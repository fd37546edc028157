// A whole file copy to the WinCE instrument over a real pseudo-terminal: a
// scripted updater written from the wire format raises the line, copies two
// files (one block disturbed on the way and sent again), gives the line back
// and sets the clock; the files in the dump must equal what was sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "sim/dump_writer.h"
#include "sim/server.h"
#include "wince_bench.h"

namespace sim::test {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class WincePty : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sim-wince-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dumpDir_ = pattern;
    ASSERT_EQ(pty_.Open(), "");
    ASSERT_EQ(::pipe(stop_), 0);
    clock_ = platform::MakeSteadyClock(50.0);
    FaultPlan faults;
    faults.Add(*ParseFault("corrupt:frame@2"));
    instrument_ = std::make_unique<Instrument>(*FindPreset("wince"), std::move(faults), *clock_);
    dump_ = std::make_unique<DumpWriter>(dumpDir_);
    server_ = std::make_unique<Server>(pty_, *instrument_, *clock_,
                                       ServerOptions{true, 50.0, dump_.get(), stop_[0]});
    thread_ = std::thread([this] { result_ = server_->Run(); });
    slave_ = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
  }

  void TearDown() override {
    StopServer();
    if (slave_ >= 0) ::close(slave_);
    ::close(stop_[0]);
    ::close(stop_[1]);
    std::filesystem::remove_all(dumpDir_);
  }

  void StopServer() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    ASSERT_EQ(::write(stop_[1], &byte, 1), 1);
    thread_.join();
  }

  void SetLine(speed_t speed) {
    termios settings{};
    ASSERT_EQ(::tcgetattr(slave_, &settings), 0);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    settings.c_cflag |= CSTOPB;
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &settings), 0);
  }

  // Writes and collects the answer up to its line end (two seconds at most).
  std::string Ask(const Bytes& bytes) {
    EXPECT_EQ(::write(slave_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!reply.ends_with("\r\n") && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{slave_, POLLIN, 0};
      if (::poll(&fd, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(slave_, buffer, sizeof buffer);
      if (n > 0) reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
  }
  std::string Ask(std::string_view text) { return Ask(ToBytes(text)); }

  // Header, blocks of up to 2000 bytes (each sent again after reply 261 "2"), end of file.
  void Copy(std::string_view name, std::uint32_t date, const Bytes& content) {
    ASSERT_EQ(Ask(WinceHeader(name, date, content.size())), "!\r\n");
    for (std::size_t at = 0; at < content.size(); at += 2000) {
      const std::size_t length = std::min<std::size_t>(2000, content.size() - at);
      const Bytes frame = WinceFrame(Bytes(content.begin() + at, content.begin() + at + length));
      std::string answer = Ask(frame);
      if (answer == "I.261#2\r\n") answer = Ask(frame);
      ASSERT_EQ(answer, "!\r\n") << name << " at " << at;
    }
    ASSERT_EQ(Ask("A.1202\r\n"), "!\r\n");
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

TEST_F(WincePty, CopiesFilesAtTheRaisedRateAndRunsOnAtItsOwn) {
  const Bytes app = Pattern(4500, 3);
  const Bytes dll = Pattern(4000, 4);
  SetLine(B9600);
  EXPECT_EQ(Ask("\r\n\r\nA.1111\r\n"), "!\r\n");
  EXPECT_EQ(Ask("A.2100\r\n"), "I.2011#1.00\r\n");
  EXPECT_EQ(Ask("A.1000\r\n"), "!\r\n");
  EXPECT_EQ(Ask("A.1300#38400\r\n"), "!\r\n");
  SetLine(B38400);
  Copy("APP.EXE", 0x5B8A6000, app);
  Copy("HELPER.DLL", 0x5B8A6001, dll);
  EXPECT_EQ(Ask("A.1203\r\n"), "!\r\n");
  EXPECT_EQ(Ask("A.1300#9600\r\n"), "!\r\n");
  SetLine(B9600);
  EXPECT_EQ(Ask("A.1600#46000.500000\r\n"), "!\r\n");
  StopServer();
  EXPECT_EQ(result_, 0);
  EXPECT_TRUE(ReadAll(dumpDir_ + "/wince/APP.EXE") == AsText(app));
  EXPECT_TRUE(ReadAll(dumpDir_ + "/wince/HELPER.DLL") == AsText(dll));
  const std::string state = ReadAll(dumpDir_ + "/state.json");
  EXPECT_NE(state.find("\"clock\": \"46000.500000\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"line_baud\": 9600"), std::string::npos) << state;
  EXPECT_NE(state.find(
                "\"dos_date_time\": 1535795201, \"date\": \"2025-12-10 12:00:02\", \"size\": 4000"),
            std::string::npos)
      << state;
  EXPECT_NE(state.find("\"naks\": 1"), std::string::npos) << "one disturbed block: " << state;
}

}  // namespace
}  // namespace sim::test
