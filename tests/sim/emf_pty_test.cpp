// The emf preset on a real pseudo-terminal: the updater's side follows the
// line from the firmware's 9600 bit/s to the boot loader's 115200 and back,
// sends an image by XMODEM-CRC, and the dump shows what arrived.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "sim/dump_writer.h"
#include "sim/emf_image.h"
#include "sim/presets.h"
#include "sim/server.h"
#include "xmodem_sender.h"

namespace sim::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kTimeScale = 50.0;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class EmfPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sim-emf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dumpDir_ = pattern;
    ASSERT_EQ(pty_.Open(), "");
    ASSERT_EQ(::pipe(stop_), 0);
    clock_ = platform::MakeSteadyClock(kTimeScale);
    InstrumentConfig config = *FindPreset("emf");
    config.bootMs = 20000;    // time enough to set the line back before the firmware reports
    config.emf->startMs = 0;  // its start is a unit test's business
    instrument_ = std::make_unique<Instrument>(std::move(config), FaultPlan{}, *clock_);
    dump_ = std::make_unique<DumpWriter>(dumpDir_);
    server_ = std::make_unique<Server>(pty_, *instrument_, *clock_,
                                       ServerOptions{true, kTimeScale, dump_.get(), stop_[0]});
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

  // Writes `bytes` and collects the answer until `count` bytes have arrived
  // or two seconds have passed.
  std::string Ask(const Bytes& bytes, std::size_t count) {
    EXPECT_EQ(::write(slave_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (reply.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{slave_, POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(slave_, buffer, sizeof buffer);
      if (n > 0) reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
  }
  std::string Ask(std::string_view text, std::size_t count) {
    return Ask(Bytes(text.begin(), text.end()), count);
  }

  // Waits (bounded) until the instrument's dump lists `command` as received.
  void AwaitCommand(const std::string& command) {
    for (int i = 0; i < 100; ++i) {
      if (ReadFile(dumpDir_ + "/state.json").find("\"" + command + "\"]") != std::string::npos)
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << command << " never arrived";
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

TEST_F(EmfPty, UpdateAcrossTheRateSwitchEndsUpInTheDump) {
  FirmwareImageSpec recipe;
  recipe.version = "1.10";
  recipe.codeSize = 0x1000;
  const Bytes file = BuildEmfImage(recipe);
  const Bytes padded = PaddedEmfImage(file);

  SetLine(B9600);
  ASSERT_EQ(Ask("A.1111\r\n", 3), "!\r\n");
  ASSERT_EQ(Ask("A.1250#7\r\n", 8), "A.1250\r\n");
  EXPECT_EQ(Ask("A.2051\r\n", 8).find("I.251"), std::string::npos)
      << "the loader listens at 115200";
  SetLine(B115200);
  ::tcflush(slave_, TCIOFLUSH);  // the rest of the noise
  ASSERT_EQ(Ask("A.2051\r\n", 12), "I.251#1.05\r\n");
  ASSERT_EQ(Ask("u", 1), "C");
  for (const Bytes& block : XmodemBlocks(padded)) ASSERT_EQ(Ask(block, 1), "\x06");
  ASSERT_EQ(Ask(Bytes{kEot}, 1), "\x06");
  EXPECT_EQ(Ask("c", 13).substr(0, 7), "I.1205#");
  ASSERT_EQ(Ask("r", 0), "");
  AwaitCommand("r");  // taken at 115200 before the line goes back, as the updater waits
  SetLine(B9600);
  EXPECT_EQ(Ask("", 19), "Firmware 1.10\r\n!\r\n");

  StopServer();
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(ReadFile(dumpDir_ + "/received.bin"), std::string(padded.begin(), padded.end()));
  EXPECT_EQ(ReadFile(dumpDir_ + "/flash.bin"), std::string(padded.begin(), padded.end() - 6));
  const std::string state = ReadFile(dumpDir_ + "/state.json");
  EXPECT_NE(state.find("\"firmware_version\": \"1.10\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"running\": \"firmware\""), std::string::npos) << state;
}

}  // namespace
}  // namespace sim::test
