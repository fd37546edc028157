// The hand-off to the programming tools with small shell scripts in the
// tools' place and a port double: how often a tool is started and with
// what, what the run returns, and that the port is always taken back. This
// binary never loads the updater library (a library once loaded stays in
// the process and would be found again by the system's search).
#include "loaders/external_tools.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hand_off_fixture.h"
#include "loaders/tool_command.h"

namespace loaders {
namespace {

using test::ExternalToolsTest;
using test::Text;

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

// An updater whose SIGCHLD is ignored cannot learn a tool's exit code. The
// wait must end all the same, as a failure the user is told of, and the tool
// is not started again: it may have written the instrument.
TEST_F(ExternalToolsTest, AToolWhoseEndCannotBeCollectedFailsOnceWithAMessage) {
  Tool("HEXLoad_8N1", {1, 1, 1});
  struct sigaction ignore {}, old{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGCHLD, &ignore, &old);
  const int code = HexLoad();
  ::sigaction(SIGCHLD, &old, nullptr);
  EXPECT_EQ(code, platform::ChildProcess::kEndUnknown);
  EXPECT_EQ(Starts().size(), 1u);
  EXPECT_EQ(services_.view.boxes,
            std::vector<std::string>{Text(external::ToolEndUnknownMessage("HEXLoad_8N1", 1))});
  EXPECT_EQ(port_.calls, (std::vector<std::string>{"Release", "Retake", "RestoreLine"}));
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

}  // namespace
}  // namespace loaders
