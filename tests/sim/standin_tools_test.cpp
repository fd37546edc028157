// The stand-in library and tools against the simulator over a real
// pseudo-terminal: the tool is started as the updater starts it (its own
// process, UPDATER_PORTS naming the pty), and the simulator's flash must then
// equal the image byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/process.h"
#include "platform/shared_library.h"
#include "sim/dump_writer.h"
#include "sim/image_builder.h"
#include "sim/image_formats.h"
#include "sim/presets.h"
#include "sim/server.h"

namespace sim {
namespace {

constexpr double kTimeScale = 20.0;
constexpr SimTick kBootMs = 10000;  // 0.5 s at the test's time scale
constexpr SimTick kPauseAfterToolMs = 1500;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

speed_t Speed(std::uint32_t baud) { return baud == 19200 ? B19200 : B9600; }

class StandinToolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    StopServer();
    if (stop_[0] >= 0) {
      ::close(stop_[0]);
      ::close(stop_[1]);
    }
    if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
  }

  // The simulator of `preset` on a pty, and the new firmware image (version
  // `version`) written in `format` (.mot or .HEX) to the work folder.
  void Start(const std::string& preset, const std::string& version, const std::string& fileName,
             const std::vector<std::string>& faults = {}) {
    char pattern[] = "/tmp/standin-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    config_ = *FindPreset(preset);
    // Time for this side to set the firmware's line again before the new
    // firmware reports (the updater waits 1000 or 1500 ms after the tool).
    config_.bootMs = kBootMs;
    FirmwareImageSpec recipe = config_.main.firmware;
    recipe.version = version;
    image_ = BuildFirmwareImage(recipe);
    file_ = dir_ + "/" + fileName;
    std::ofstream(file_, std::ios::binary)
        << (fileName.ends_with(".mot") ? ToSRecords(image_) : ToIntelHex(image_));

    FaultPlan plan;
    for (const std::string& fault : faults) plan.Add(*ParseFault(fault));
    ASSERT_EQ(pty_.Open(), "");
    ASSERT_EQ(::pipe(stop_), 0);
    clock_ = platform::MakeSteadyClock(kTimeScale);
    instrument_ = std::make_unique<Instrument>(config_, std::move(plan), *clock_);
    dump_ = std::make_unique<DumpWriter>(dir_);
    server_ = std::make_unique<Server>(pty_, *instrument_, *clock_,
                                       ServerOptions{false, kTimeScale, dump_.get(), stop_[0]});
    thread_ = std::thread([this] { server_->Run(); });
  }

  void StopServer() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    ASSERT_EQ(::write(stop_[1], &byte, 1), 1);
    thread_.join();
  }

  // Opens the updater's side at the firmware's line settings.
  int OpenFirmwareLine() {
    const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, Speed(config_.firmware.line.baud));
    ::cfsetospeed(&settings, Speed(config_.firmware.line.baud));
    settings.c_cflag |= CSTOPB;
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
  }

  // Reads until `text` has arrived or two seconds have passed.
  static std::string ReadUntil(int fd, const std::string& text) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[128];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  // What the workflow does before it hands the port over: the entry command.
  void EnterLoader() {
    const int fd = OpenFirmwareLine();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "A.1200\r\n", 8), 8);
    EXPECT_EQ(ReadUntil(fd, "!\r\n"), "!\r\n");
    ::close(fd);
  }

  // Runs a tool as the updater does and returns its exit code.
  int RunTool(const char* program, const std::vector<std::string>& args, const std::string& ports) {
    platform::StartResult started =
        platform::StartProcess({program, args, {{"UPDATER_PORTS", ports}}});
    EXPECT_TRUE(started) << program;
    if (!started) return -1;
    EXPECT_TRUE(started.process->WaitForEnd(60000)) << program << " hangs";
    return started.process->ExitCode();
  }

  // The new firmware reports itself, and the dumped flash is the image.
  void ExpectProgrammed(const std::string& version) {
    // The updater's pause after the tool: a pty carries no rate of its own, so
    // the tool's last bytes must reach the simulator before the line changes.
    clock_->Sleep(kPauseAfterToolMs);
    const int fd = OpenFirmwareLine();
    const std::string report = "Firmware " + version + "\r\n!\r\n";
    EXPECT_EQ(ReadUntil(fd, report), report);
    ::close(fd);
    StopServer();
    FlashModel expected(*config_.main.part);
    expected.Load(image_);
    const std::vector<std::uint8_t> flash = expected.FlashImage();
    EXPECT_TRUE(ReadFile(dir_ + "/flash.bin") == std::string(flash.begin(), flash.end()))
        << "flash differs";
    EXPECT_NE(ReadFile(dir_ + "/state.json").find("\"firmware_version\": \"" + version + "\""),
              std::string::npos);
  }

  std::string dir_;
  std::string file_;
  InstrumentConfig config_;
  MemoryImage image_;
  PtyTransport pty_;
  int stop_[2] = {-1, -1};
  std::unique_ptr<platform::Clock> clock_;
  std::unique_ptr<Instrument> instrument_;
  std::unique_ptr<DumpWriter> dump_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

TEST_F(StandinToolTest, HexLoadProgramsTheMotFileOnItsComNumber) {
  Start("m16", "1.10", "M16FW.mot");
  EnterLoader();
  EXPECT_EQ(RunTool(HEXLOAD_PROGRAM, {file_, "-com2", "-baudrate38400", "-auto", "-exit"},
                    "/dev/ttyS77," + pty_.SlavePath()),
            0);
  ExpectProgrammed("1.10");
}

TEST_F(StandinToolTest, Pic32ToolProgramsTheHexFile) {
  Start("pic32", "2.10", "PIC32FW.HEX");
  EnterLoader();
  EXPECT_EQ(RunTool(PIC32_PROGRAM, {"-f" + file_, "-c1", "-b7", "-a"}, pty_.SlavePath()), 0);
  ExpectProgrammed("2.10");
}

std::vector<int> progressSeen;
void RecordProgress(int percent) { progressSeen.push_back(percent); }

TEST_F(StandinToolTest, LibraryExportsBothNamesAndProgramsInTheCallersOrder) {
  Start("m16", "1.10", "M16FW.mot");
  platform::LibraryOpen opened = platform::SharedLibrary::Open(M16_LIBRARY);
  ASSERT_TRUE(opened) << opened.detail;
  const platform::SharedLibrary& library = *opened.library;
  const std::pair<const char*, const char*> names[] = {
      {"?M16Upd_Init@@YAHH@Z", "M16Upd_Init"},
      {"?M16Upd_Program@@YAHPB_WHP6AXH@Z@Z", "M16Upd_Program"},
      {"?M16Upd_Deinit@@YAHXZ", "M16Upd_Deinit"},
      {"?M16Upd_IsBTLActive@@YAHXZ", "M16Upd_IsBTLActive"},
      {"?M16Upd_Clear@@YAHXZ", "M16Upd_Clear"},
      {"?M16Upd_MakeValid@@YAHXZ", "M16Upd_MakeValid"},
      {"?M16Upd_ExitAndStartApplication@@YAHXZ", "M16Upd_ExitAndStartApplication"},
  };
  for (const auto& [decorated, plain] : names) {
    EXPECT_NE(library.Symbol(decorated), nullptr) << decorated;
    EXPECT_EQ(library.Symbol(decorated), library.Symbol(plain)) << plain;
  }
  auto* init = library.Function<int(int)>("?M16Upd_Init@@YAHH@Z");
  auto* active = library.Function<int()>("?M16Upd_IsBTLActive@@YAHXZ");
  auto* clear = library.Function<int()>("?M16Upd_Clear@@YAHXZ");
  auto* program = library.Function<int(const wchar_t*, int, void (*)(int))>(
      "?M16Upd_Program@@YAHPB_WHP6AXH@Z@Z");
  auto* makeValid = library.Function<int()>("M16Upd_MakeValid");
  auto* start = library.Function<int()>("M16Upd_ExitAndStartApplication");
  auto* deinit = library.Function<int()>("M16Upd_Deinit");

  ::setenv("UPDATER_PORTS", ("/dev/ttyS77:" + pty_.SlavePath()).c_str(), 1);
  EXPECT_EQ(init(3), 0) << "COM3 is not in the list";
  EXPECT_EQ(active(), 0) << "nothing open";
  EnterLoader();
  ASSERT_NE(init(2), 0);
  EXPECT_NE(active(), 0);
  EXPECT_NE(clear(), 0);
  const std::wstring wideName(file_.begin(), file_.end());
  progressSeen.clear();
  EXPECT_NE(program(wideName.c_str(), 0, &RecordProgress), 0);
  EXPECT_NE(makeValid(), 0);
  EXPECT_NE(start(), 0);
  EXPECT_NE(deinit(), 0);
  ::unsetenv("UPDATER_PORTS");
  ASSERT_FALSE(progressSeen.empty());
  EXPECT_EQ(progressSeen.front(), 0);
  EXPECT_EQ(progressSeen.back(), 100);
  EXPECT_TRUE(std::is_sorted(progressSeen.begin(), progressSeen.end()));
  ExpectProgrammed("1.10");
}

struct FailureCase {
  const char* preset;
  const char* fileName;
  const char* fault;
  int exitCode;
};

class StandinToolFailureTest : public StandinToolTest,
                               public ::testing::WithParamInterface<FailureCase> {};

// A silent loader is worth another start (1); a refusal or a wrong read-back is not (5).
TEST_P(StandinToolFailureTest, ExitCodeTellsWhetherToTryAgain) {
  const FailureCase& c = GetParam();
  Start(c.preset, "9.99", c.fileName, {c.fault});
  EnterLoader();
  const bool m16 = std::string(c.preset) == "m16";
  const std::vector<std::string> args =
      m16 ? std::vector<std::string>{file_, "-com1", "-baudrate38400", "-auto", "-exit"}
          : std::vector<std::string>{"-f" + file_, "-c1", "-b7", "-a"};
  EXPECT_EQ(RunTool(m16 ? HEXLOAD_PROGRAM : PIC32_PROGRAM, args, pty_.SlavePath()), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Faults, StandinToolFailureTest,
                         ::testing::Values(FailureCase{"m16", "M16FW.mot", "silence:connect", 1},
                                           FailureCase{"pic32", "PIC32FW.HEX", "silence:version",
                                                       1},
                                           FailureCase{"m16", "M16FW.mot", "nak:write@5", 5},
                                           FailureCase{"pic32", "PIC32FW.HEX", "corrupt:crc", 5}));

TEST(StandinToolCommandLine, RefusesWhatItCannotRun) {
  const std::string file = "/tmp/standin-command-line-" + std::to_string(::getpid()) + ".mot";
  std::ofstream(file) << ToSRecords({{0x8000, {0x31, 0x2E}}});
  struct Case {
    const char* program;
    std::vector<std::string> args;
    const char* ports;
    int exitCode;
  };
  const std::vector<Case> cases{
      {HEXLOAD_PROGRAM, {"FW.mot", "-baudrate38400", "-auto", "-exit"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {"FW.mot", "-com3", "-baudrate38400", "-verbose"}, "/dev/null", 2},
      // HEXLoad takes its one form only: every argument, in its place.
      {HEXLOAD_PROGRAM, {file, "-com1", "-baudrate38400"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {file, "-com1", "-baudrate38400", "-auto"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {file, "-com1", "-baudrate38400", "-exit", "-auto"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {"-com1", file, "-baudrate38400", "-auto", "-exit"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {file, "-baudrate38400", "-com1", "-auto", "-exit"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {file, "-com1", "-baudrate19200", "-auto", "-exit"}, "/dev/null", 2},
      {PIC32_PROGRAM, {"-fFW.HEX", "-c:", "-b7", "-a"}, "/dev/null", 2},
      {PIC32_PROGRAM, {"-fFW.HEX", "-c1", "-b9", "-a"}, "/dev/null", 2},
      {HEXLOAD_PROGRAM, {"/nonexistent/FW.mot", "-com1", "-baudrate38400", "-auto", "-exit"}, "/dev/null", 3},
      {PIC32_PROGRAM, {"-f/nonexistent/FW.HEX", "-c1", "-b7"}, "/dev/null", 3},
      {HEXLOAD_PROGRAM, {file, "-com2", "-baudrate9600", "-auto", "-exit"}, "/dev/null", 4},
      {HEXLOAD_PROGRAM, {file, "-com1", "-baudrate38400", "-auto", "-exit"}, "/nonexistent/tty", 4},
  };
  for (const Case& c : cases) {
    platform::StartResult started =
        platform::StartProcess({c.program, c.args, {{"UPDATER_PORTS", c.ports}}});
    ASSERT_TRUE(started);
    ASSERT_TRUE(started.process->WaitForEnd(10000));
    EXPECT_EQ(started.process->ExitCode(), c.exitCode)
        << c.program << " " << c.args[0] << " " << c.args[1];
  }
  ::unlink(file.c_str());
}

}  // namespace
}  // namespace sim
