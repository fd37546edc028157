// The hand-off to the programming tools with small shell scripts in the
// tools' place and a port double: how often a tool is started and with
// what, what the run returns, and that the port is always taken back.
#include "loaders/external_tools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "loader_services.h"
#include "loaders/external_texts.h"
#include "loaders/m16_library.h"
#include "loaders/tool_command.h"

namespace loaders {
namespace {

const bool kFastTime = [] { return ::setenv("UPDATER_TIME_SCALE", "50", 0) == 0; }();

std::string Text(const external::MessageText& text) { return std::string(text.view()); }

// The hand-off never speaks on the line itself.
class UnusedLine final : public LoaderPort {
 public:
  int Write(const std::uint8_t*, int) override { return 0; }
  int WriteText(const char*) override { return 0; }
  int Read(std::uint8_t*, int) override { return 0; }
  void ChangeV24Parameter(serial::BaudTag, serial::StopBitTag, serial::ParitaetTag, bool) override {
  }
  void ChangeHandShake(serial::HandshakeTag) override {}
  void SaveLastV24Parameter() override {}
  void LoadLastV24Parameter() override {}
  serial::BaudTag LineBaud() const override { return serial::B__9600; }
  std::string Describe() const override { return "COM3"; }
};

class PortDouble final : public HandOffPort {
 public:
  int index = 2;
  bool opens = true;
  std::vector<std::string> calls;

  int Index() const override { return index; }
  std::string DeviceList() const override { return "/dev/ttyS0,,/dev/pts/9"; }
  void Release() override { calls.push_back("Release"); }
  bool Retake() override {
    calls.push_back("Retake");
    return opens;
  }
  void RestoreLine() override { calls.push_back("RestoreLine"); }
  void SetLine(serial::BaudTag baud, serial::StopBitTag stop, serial::ParitaetTag parity,
               bool keinNull) override {
    calls.push_back("SetLine " + std::to_string(baud) + " " + std::to_string(stop) + " " +
                    std::to_string(parity) + " " + std::to_string(keinNull));
  }
};

class ExternalToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kFastTime);
    char pattern[] = "/tmp/loaders-tools-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ + "/FW.MOT") << std::string(6000, 'S');
    services_.record.MainFile = "FW.MOT";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A tool that logs its arguments and UPDATER_PORTS, one line per start,
  // and ends with the next of `codes` (the last one again after that).
  void Tool(const char* name, const std::vector<int>& codes) {
    std::string list;
    for (const int code : codes) list += " " + std::to_string(code);
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "echo \"$* | $UPDATER_PORTS\" >> '" << dir_ << "/starts'\n"
                        << "set --" << list << "\n"
                        << "n=$(wc -l < '" << dir_ << "/starts')\n"
                        << "shift $(( n > $# ? $# - 1 : n - 1 ))\n"
                        << "exit $1\n";
    ::chmod(path.c_str(), 0755);
  }
  std::vector<std::string> Starts() const {
    std::ifstream in(dir_ + "/starts");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  int HexLoad() {
    const LoaderContext context = services_.Context(line_, dir_);
    TExternalProgramming programming(context, port_, {dir_});
    return programming.RunHexLoad("FW.MOT");
  }
  int Pic32() {
    const LoaderContext context = services_.Context(line_, dir_);
    TExternalProgramming programming(context, port_, {dir_});
    return programming.RunPic32Bootloader("FW.MOT");
  }

  std::string dir_;
  test::LoaderServices services_;
  UnusedLine line_;
  PortDouble port_;
};

TEST_F(ExternalToolsTest, TheToolsGetTheirArgumentVectorAndThePortMap) {
  Tool("HEXLoad_8N1", {0});
  Tool("PIC32_Serial_Bootloader.exe", {0});
  EXPECT_EQ(HexLoad(), 0);
  services_.record.FlagC = 1;  // the "@" mark: the boot loader keeps 9600 bit/s
  EXPECT_EQ(HexLoad(), 0);
  port_.index = 3;
  EXPECT_EQ(Pic32(), 0);
  const std::string file = dir_ + "/FW.MOT";
  EXPECT_EQ(Starts(), (std::vector<std::string>{
                          file + " -com3 -baudrate38400 -auto -exit | /dev/ttyS0,,/dev/pts/9",
                          file + " -com3 -baudrate9600 -auto -exit | /dev/ttyS0,,/dev/pts/9",
                          "-f" + file + " -c4 -b7 -a | /dev/ttyS0,,/dev/pts/9",
                      }));
  EXPECT_TRUE(services_.view.boxes.empty());
}

TEST_F(ExternalToolsTest, ExitCodeOneStartsTheToolAgainThreeStartsInAll) {
  struct Case {
    std::vector<int> codes;
    int result;
    std::size_t starts;
  };
  for (const Case& c :
       {Case{{1, 1, 1}, 1, 3}, Case{{1, 0}, 0, 2}, Case{{2}, 2, 1}, Case{{1, 7}, 7, 2}}) {
    std::filesystem::remove(dir_ + "/starts");
    port_.calls.clear();
    services_.view.boxes.clear();
    Tool("HEXLoad_8N1", c.codes);
    EXPECT_EQ(HexLoad(), c.result);
    EXPECT_EQ(Starts().size(), c.starts);
    EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "RestoreLine"}));
    if (c.result == 0) {
      EXPECT_TRUE(services_.view.boxes.empty());
    } else {
      EXPECT_EQ(
          services_.view.boxes,
          std::vector<std::string>{Text(external::ToolFailedMessage("HEXLoad_8N1", c.result, 1))});
    }
  }
}

TEST_F(ExternalToolsTest, AToolThatCannotStartIsNamedAndThePortComesBack) {
  EXPECT_EQ(HexLoad(), TExternalProgramming::kNotStarted);
  std::ofstream(dir_ + "/PIC32_Serial_Bootloader") << "not a program";
  EXPECT_EQ(Pic32(), TExternalProgramming::kNotStarted);
  EXPECT_EQ(services_.view.boxes,
            (std::vector<std::string>{
                Text(external::NotStartedMessage(dir_ + "/HEXLoad_8N1",
                                                 platform::StartError::kNotFound, 1)),
                Text(external::NotStartedMessage(dir_ + "/PIC32_Serial_Bootloader",
                                                 platform::StartError::kNotExecutable, 1))}));
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "RestoreLine", "Release",
                                                   "Retake", "RestoreLine"}));
}

TEST_F(ExternalToolsTest, SuccessUnderStartCommandTwoLeavesTheLineAt9600Odd) {
  Tool("HEXLoad_8N1", {0});
  services_.startCmdIndex = 2;
  EXPECT_EQ(HexLoad(), 0);
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "SetLine 3 2 1 0"}));
}

TEST_F(ExternalToolsTest, APortThatCannotBeReopenedFailsTheRun) {
  Tool("HEXLoad_8N1", {0});
  port_.opens = false;
  EXPECT_NE(HexLoad(), 0);
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake"}));
}

TEST_F(ExternalToolsTest, RefusedBeforeAnythingStarts) {
  Tool("PIC32_Serial_Bootloader", {0});
  port_.index = 9;  // COM10: the tool's port option has one digit
  EXPECT_EQ(Pic32(), 1);
  services_.record.MainFile = "FW.M";
  EXPECT_EQ(HexLoad(), 1);
  EXPECT_EQ(services_.view.boxes,
            std::vector<std::string>{Text(external::Pic32PortMessage(10, 1))});
  EXPECT_TRUE(Starts().empty());
  EXPECT_TRUE(port_.calls.empty());
}

TEST(ToolLookup, TheExeNameIsAcceptedAndTheFirstFolderWins) {
  char pattern[] = "/tmp/loaders-lookup-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string a = std::string(pattern) + "/a", b = std::string(pattern) + "/b";
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(b);
  for (const std::string& path :
       {b + "/HEXLoad_8N1", a + "/HEXLoad_8N1.exe", b + "/PIC32_Serial_Bootloader"}) {
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), 0755);
  }
  std::ofstream(a + "/PIC32_Serial_Bootloader") << "no program: not executable";
  EXPECT_EQ(FindTool({"", a, b}, kHexLoadTool), a + "/HEXLoad_8N1.exe");
  EXPECT_EQ(FindTool({a, b}, kPic32Tool), b + "/PIC32_Serial_Bootloader");
  EXPECT_EQ(FindTool({a, b}, "Missing"), a + "/Missing");
  EXPECT_EQ(FileForTool(a, "FW.MOT"), a + "/FW.MOT");
  EXPECT_EQ(FileForTool(a, "/x/FW.MOT"), "/x/FW.MOT");
  EXPECT_EQ(FileForTool("", "FW.MOT"), "FW.MOT");
  std::filesystem::remove_all(pattern);
}

#ifdef STANDIN_DIR
TEST_F(ExternalToolsTest, ANameTooLongForTheLibraryIsRefusedNotCut) {
  const std::string name(80 - dir_.size() - 1, 'F');  // with the folder: 80 characters
  const LoaderContext context = services_.Context(line_, dir_);
  TExternalProgramming programming(context, port_, {STANDIN_DIR});
  EXPECT_EQ(programming.RunHexLoad(name.c_str()), 1);
  EXPECT_EQ(services_.view.boxes, std::vector<std::string>{Text(external::NameTooLongMessage(dir_ + "/" + name, 1))});
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "RestoreLine"}));
}

TEST(M16LibraryLookup, TheStandInResolvesEveryFunctionAndAnEmptyFolderHasNone) {
  EXPECT_FALSE(LoadM16Library({"/nonexistent"}));
  const M16Library found = LoadM16Library({"/nonexistent", STANDIN_DIR});
  ASSERT_TRUE(found);
  const M16Functions& f = found.functions;
  for (const void* function :
       {reinterpret_cast<const void*>(f.init), reinterpret_cast<const void*>(f.isBtlActive),
        reinterpret_cast<const void*>(f.clear), reinterpret_cast<const void*>(f.program),
        reinterpret_cast<const void*>(f.makeValid),
        reinterpret_cast<const void*>(f.exitAndStartApplication),
        reinterpret_cast<const void*>(f.deinit)}) {
    EXPECT_NE(function, nullptr);
  }
}
#endif

}  // namespace
}  // namespace loaders
