// The Basic-Loader over a real pseudo-terminal: a scripted client that does
// what the updater does from reply 208 on (A.1220, then 19200 bit/s with
// RTS/CTS, the file in pieces of 2000 bytes), judged on the dumped flash
// against the file as an independent tool (srec_cat) reads it.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "sim/dump_writer.h"
#include "sim/presets.h"
#include "sim/server.h"
#include "sim/terminal_image.h"

namespace sim {
namespace {

constexpr double kTimeScale = 50.0;
constexpr std::size_t kPiece = 2000;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class BasicLoaderPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("sim-basic-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(pty_.Open(), "");
    ASSERT_EQ(::pipe(stop_), 0);
    clock_ = platform::MakeSteadyClock(kTimeScale);
    InstrumentConfig config = *FindPreset("basic-loader");
    // Time enough (200 ms here) to switch the line after the "!" however busy the machine is.
    ASSERT_EQ(ApplySetting(config, "loader_start_ms=10000"), "");
    instrument_ = std::make_unique<Instrument>(std::move(config), FaultPlan{}, *clock_);
    dump_ = std::make_unique<DumpWriter>(dir_.string());
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
    std::filesystem::remove_all(dir_);
  }

  void StopServer() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    ASSERT_EQ(::write(stop_[1], &byte, 1), 1);
    thread_.join();
  }

  void SetLine(speed_t speed, bool rtsCts) {
    termios settings{};
    ASSERT_EQ(::tcgetattr(slave_, &settings), 0);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    settings.c_cflag |= CSTOPB;
    settings.c_cflag = rtsCts ? (settings.c_cflag | CRTSCTS) : (settings.c_cflag & ~CRTSCTS);
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &settings), 0);
  }

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(slave_, bytes.data(), bytes.size());
      ASSERT_GT(n, 0);
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Collects what arrives until `text` is in it or 20 seconds have passed.
  std::string AwaitText(std::string_view text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (received_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{slave_, POLLIN, 0};
      if (::poll(&fd, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(slave_, buffer, sizeof buffer);
      if (n > 0) received_.append(buffer, static_cast<std::size_t>(n));
    }
    return received_;
  }

  // The instrument's side up to the loader's request for S-records.
  void ReachTheLoader(bool rtsCts) {
    SetLine(B9600, false);
    Write("A.2005\r\n");
    ASSERT_NE(AwaitText("I.208#0\r\n").find("I.208#0\r\n"), std::string::npos);
    Write("A.1220\r\n");
    ASSERT_NE(AwaitText("!\r\n").find("!\r\n"), std::string::npos);
    SetLine(B19200, rtsCts);
    ASSERT_NE(AwaitText("Waiting for S-Record !\r\n").find("Waiting for S-Record !\r\n"), std::string::npos)
        << received_;
  }

  void SendFile(const std::string& file) {
    for (std::size_t at = 0; at < file.size(); at += kPiece) Write(std::string_view(file).substr(at, kPiece));
  }

  std::filesystem::path dir_;
  PtyTransport pty_;
  int stop_[2] = {-1, -1};
  int slave_ = -1;
  std::unique_ptr<platform::Clock> clock_;
  std::unique_ptr<Instrument> instrument_;
  std::unique_ptr<DumpWriter> dump_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
  int result_ = -1;
  std::string received_;
};

TEST_F(BasicLoaderPtyTest, FlashHoldsTheFileAsSrecCatReadsIt) {
  if (std::system("srec_cat -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
  const std::string file = TerminalSRecordFile({"1.30", 0x4010, 0x3000}, "L3_TermH.A37", 3);
  std::ofstream(dir_ / "L3_TermH.A37", std::ios::binary) << file;
  ReachTheLoader(true);
  SendFile(file);
  EXPECT_NE(AwaitText("Flash-Memory (1) programmed !\r\n").find("programmed"), std::string::npos) << received_;
  StopServer();
  EXPECT_EQ(result_, 0);
  const std::string command = "srec_cat -disable-sequence-warnings " + (dir_ / "L3_TermH.A37").string() +
                              " -motorola -fill 0xFF 0 0x100000 -o " + (dir_ / "expected.bin").string() + " -binary";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string flash = ReadFile(dir_ / "flash.bin");
  ASSERT_EQ(flash.size(), 0x100000u);
  EXPECT_TRUE(flash == ReadFile(dir_ / "expected.bin")) << "flash.bin differs from the file";
  const std::string state = ReadFile(dir_ / "state.json");
  EXPECT_NE(state.find("\"second_version\": \"1.30\""), std::string::npos) << state;
  EXPECT_NE(state.find("\"boot_loader_component\": 2"), std::string::npos) << state;
}

TEST_F(BasicLoaderPtyTest, APortWithoutRtsCtsOverrunsTheLoader) {
  ReachTheLoader(false);
  SendFile(TerminalSRecordFile({"1.30", 0x4010, 0x100}, "L3_TermH.A37", 3));
  EXPECT_NE(AwaitText("S-Record defect!\r\n").find("S-Record defect!\r\n"), std::string::npos) << received_;
}

}  // namespace
}  // namespace sim
