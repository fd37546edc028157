// The WinCE transfer against a scripted instrument: the order of commands and
// frames on the line, the files as the instrument receives them, the line's
// rate on the way in and out, resends, and every way a transfer fails.
#include "loaders/wince_prog.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "loader_services.h"
#include "loaders/session_texts.h"
#include "loaders/wince_frames.h"
#include "loaders/wince_texts.h"
#include "scripted_wince.h"

namespace loaders {
namespace {

using Answer = test::ScriptedWinCE::Answer;
using Bytes = std::vector<std::uint8_t>;

/// A file as the instrument got it: the header line and the frames' data.
struct Received {
  std::string header;
  Bytes content;
  std::vector<std::size_t> blocks;
};

/// The files in the commands; a frame that is not exactly "D.<n>,<check>#"
/// and n bytes with the right check character fails the test.
std::vector<Received> FilesOf(const std::vector<std::string>& commands) {
  std::vector<Received> files;
  for (const std::string& item : commands) {
    if (item.starts_with("A.1201#") || item.starts_with("A.1205#")) files.push_back({item, {}, {}});
    if (!item.starts_with("D.")) continue;
    const std::size_t comma = item.find(',');
    const std::size_t length = std::stoul(item.substr(2, comma - 2));
    EXPECT_EQ(item[comma + 2], '#');
    const Bytes data(item.begin() + static_cast<long>(comma + 3), item.end());
    EXPECT_EQ(data.size(), length);
    EXPECT_EQ(static_cast<std::uint8_t>(item[comma + 1]), wince::CheckCharacter(data));
    if (files.empty()) {
      ADD_FAILURE() << "a frame before any header";
      continue;
    }
    files.back().content.insert(files.back().content.end(), data.begin(), data.end());
    files.back().blocks.push_back(length);
  }
  return files;
}

class WinCETransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/loaders-wince-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    services_.record.ThirdVersion = 200;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  /// A file of `size` bytes that holds zero bytes, line ends and the framing
  /// characters.
  Bytes WriteFile(const std::string& name, std::size_t size) {
    Bytes content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>((i * 37 + name.size()) % 256);
    std::ofstream(dir_ + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(size));
    return content;
  }
  void AddExtraFile(const std::string& name) {
    services_.record.ExtraFiles[static_cast<std::size_t>(services_.record.ExtraFileCount++)] = name;
  }
  int Program(const char* file = "MAIN.EXE", bool force = false) {
    const LoaderContext context = services_.Context(instrument_, dir_);
    TWinCEProg loader(context);
    return loader.Program(WinCEArgs{file, force});
  }
  /// What the run told the user, for a run that failed.
  std::string Boxes() const {
    std::string text;
    for (const std::string& box : services_.view.boxes) text += box + "\n";
    return text;
  }
  std::string StampOf(const std::string& name) const {
    struct stat status {};
    ::stat((dir_ + "/" + name).c_str(), &status);
    std::tm local{};
    ::localtime_r(&status.st_mtime, &local);
    return std::to_string(wince::DosDateTime(local));
  }

  std::string dir_;
  test::LoaderServices services_{test::FastLoaderClock()};
  test::ScriptedWinCE instrument_{services_.Events(), services_.Loop(), [this] { services_.Drain().ProcessEvents(); }};
};

TEST_F(WinCETransfer, SendsAFileInBlocksAndReturnsTheLine) {
  struct Case {
    std::size_t size;
    std::vector<std::size_t> blocks;
  };
  const Case cases[] = {
      {4500, {2000, 2000, 500}},
      {4000, {2000, 2000}},  // a multiple of 2000: no empty block behind
      {1, {1}},
      {0, {}},  // an empty file: the header and at once its end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    instrument_.wire.clear();
    const Bytes content = WriteFile("MAIN.EXE", c.size);
    ASSERT_EQ(Program(), 1) << Boxes();
    EXPECT_TRUE(services_.view.boxes.empty());

    const std::vector<std::string> commands = instrument_.Commands();
    ASSERT_EQ(commands.size(), 6 + c.blocks.size());
    const std::string header = "A.1201#MAIN.EXE," + StampOf("MAIN.EXE") + "," + std::to_string(c.size) + "\r\n";
    std::vector<std::string> expected = {"A.1000\r\n", "A.1300#38400\r\n", header};
    for (std::size_t i = 0; i < c.blocks.size(); ++i) expected.push_back(commands[3 + i]);
    expected.insert(expected.end(), {"A.1202\r\n", "A.1203\r\n", "A.1300#9600\r\n"});
    EXPECT_EQ(commands, expected);
    const std::vector<Received> files = FilesOf(commands);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].blocks, c.blocks);
    EXPECT_EQ(files[0].content, content);

    // The port follows the instrument to 38400 8N2 after the rate command and
    // back after the return.
    EXPECT_EQ(instrument_.wire[2], "[line 38400 8N2]");
    EXPECT_EQ(instrument_.wire[instrument_.wire.size() - 3], "A.1300#9600\r\n");
    EXPECT_EQ(instrument_.wire[instrument_.wire.size() - 2], "[line back]");
    EXPECT_EQ(instrument_.line, test::ScriptedWinCE::Line{});
    EXPECT_EQ(services_.view.progress, 0);
  }
}

TEST_F(WinCETransfer, TheFurtherFilesFollowTheMainFileInTheirOrder) {
  const Bytes main = WriteFile("MAIN.EXE", 4500);
  const Bytes first = WriteFile("FIRST.DLL", 2001);
  const Bytes second = WriteFile("Second.dat", 10);
  AddExtraFile("FIRST.DLL");
  AddExtraFile("SECOND.DAT");  // the installation's letter case need not match

  ASSERT_EQ(Program("MAIN.EXE", true), 1) << Boxes();

  const std::vector<Received> files = FilesOf(instrument_.Commands());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].header, "A.1205#MAIN.EXE," + StampOf("MAIN.EXE") + ",4500\r\n");
  EXPECT_EQ(files[1].header, "A.1205#FIRST.DLL," + StampOf("FIRST.DLL") + ",2001\r\n");
  EXPECT_EQ(files[2].header, "A.1205#SECOND.DAT," + StampOf("Second.dat") + ",10\r\n");
  EXPECT_EQ(files[0].content, main);
  EXPECT_EQ(files[1].content, first);
  EXPECT_EQ(files[2].content, second);
  const std::vector<std::string> commands = instrument_.Commands();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), "A.1202\r\n"), 3);
  EXPECT_EQ(commands.back(), "A.1300#9600\r\n");
}

TEST_F(WinCETransfer, TheFileHeaderCarriesTheModificationTime) {
  WriteFile("MAIN.EXE", 10);
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 58;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir_ + "/MAIN.EXE").c_str(), times, 0), 0);

  ASSERT_EQ(Program(), 1) << Boxes();
  const std::uint32_t stamp = (44u << 9 | 3 << 5 | 15) << 16 | (13u << 11 | 45 << 5 | 29);
  EXPECT_EQ(instrument_.Commands()[2], "A.1201#MAIN.EXE," + std::to_string(stamp) + ",10\r\n");
}

TEST_F(WinCETransfer, TheInstrumentGoesBackToTheRateItAnsweredAt) {
  struct Case {
    serial::BaudTag baud;
    const char* command;
  };
  const Case cases[] = {
      {serial::B__4800, "A.1300#4800\r\n"},
      {serial::B_19200, "A.1300#19200\r\n"},
      {serial::B128000, "A.1300#128000\r\n"},
      {serial::B256000, "A.1300#256000\r\n"},
  };
  WriteFile("MAIN.EXE", 100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    instrument_.wire.clear();
    instrument_.line = {c.baud, serial::S_2, serial::NoParity};
    ASSERT_EQ(Program(), 1) << Boxes();
    EXPECT_EQ(instrument_.Commands().back(), c.command);
    EXPECT_EQ(instrument_.line, (test::ScriptedWinCE::Line{c.baud, serial::S_2, serial::NoParity}));
  }
}

TEST_F(WinCETransfer, AnInstrumentThatAcknowledgesAtItsNewRateIsFollowedToo) {
  const Bytes content = WriteFile("MAIN.EXE", 2500);
  instrument_.acknowledgesAtNewRate = true;
  ASSERT_EQ(Program(), 1) << Boxes();
  const std::vector<Received> files = FilesOf(instrument_.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].content, content);
}

TEST_F(WinCETransfer, Reply260TakesTheNextFile) {
  WriteFile("MAIN.EXE", 100);
  const Bytes extra = WriteFile("EXTRA.DLL", 100);
  AddExtraFile("EXTRA.DLL");
  // The end of the main file is answered with 260 instead of "!".
  instrument_.script = [](const std::string& item, int index) {
    return std::vector<Answer>{index == 4 && item == "A.1202\r\n" ? Answer{260, ""} : Answer{}};
  };
  ASSERT_EQ(Program(), 1) << Boxes();
  const std::vector<Received> files = FilesOf(instrument_.Commands());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].content, extra);
}

TEST_F(WinCETransfer, ABlockAskedForAgainIsSentAgainUnchanged) {
  const Bytes content = WriteFile("MAIN.EXE", 4500);
  // Items: 0 A.1000, 1 rate, 2 header, 3 first block, 4 second block.
  instrument_.script = [](const std::string&, int index) {
    return std::vector<Answer>{index == 4 ? Answer{261, "2"} : Answer{}};
  };
  ASSERT_EQ(Program(), 1) << Boxes();
  std::vector<std::string> commands = instrument_.Commands();
  ASSERT_GT(commands.size(), 5u);
  EXPECT_EQ(commands[5], commands[4]);
  commands.erase(commands.begin() + 4);  // the instrument dropped the copy it refused
  const std::vector<Received> files = FilesOf(commands);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].content, content);
  EXPECT_EQ(services_.view.log, std::vector<std::string>{std::string(wince::ResendNote(1))});
}

struct Failure {
  const char* name;
  test::ScriptedWinCE::Script script;
  int unpluggedAt = -1;
  std::string box;
  std::size_t commandsSent;  // then only the instrument's rate, when it was raised
  bool negativeLogged = false;
};

TEST_F(WinCETransfer, AFailedTransferSaysWhyAndReturnsTheLine) {
  const auto answerUpTo = [](int last, Answer then) {
    return [last, then](const std::string&, int index) {
      if (index < last) return std::vector<Answer>{Answer{}};
      return index == last && then.code != 0 ? std::vector<Answer>{then} : std::vector<Answer>{};
    };
  };
  const Failure cases[] = {
      {"reply 261 with another text", answerUpTo(3, {261, "7"}), -1,
       std::string(wince::RefusalMessage("7", "MAIN.EXE", 1).view()), 4},
      // Silent from the header on: the file is not sent again.
      {"silence after the header", answerUpTo(2, {0, ""}), -1,
       std::string(wince::SilenceMessage("MAIN.EXE", 1).view()), 3},
      {"a \"?\" and then silence", answerUpTo(3, {updater::EV_NEGATIVE, ""}), -1,
       std::string(wince::SilenceMessage("MAIN.EXE", 1).view()), 4, true},
      {"the line takes no more bytes", answerUpTo(99, {}), 3, ConnectionLostText("COM1 (scripted)", 1), 3},
  };
  WriteFile("MAIN.EXE", 4500);
  for (const Failure& c : cases) {
    SCOPED_TRACE(c.name);
    instrument_.wire.clear();
    services_.view.boxes.clear();
    services_.view.log.clear();
    instrument_.script = c.script;
    instrument_.unpluggedAt = c.unpluggedAt;
    const auto start = std::chrono::steady_clock::now();

    EXPECT_EQ(Program(), 0);

    EXPECT_EQ(services_.view.boxes, std::vector<std::string>{c.box});
    // The instrument is sent back to its rate, unless the line is gone.
    const bool rateBack = c.unpluggedAt < 0;
    ASSERT_EQ(instrument_.Commands().size(), c.commandsSent + (rateBack ? 1 : 0));
    if (rateBack) EXPECT_EQ(instrument_.Commands().back(), "A.1300#9600\r\n");
    EXPECT_EQ(instrument_.wire.back(), "[line back]");
    EXPECT_EQ(instrument_.line, test::ScriptedWinCE::Line{});
    EXPECT_EQ(services_.view.log.size(), c.negativeLogged ? 1u : 0u);
    if (c.box == wince::SilenceMessage("MAIN.EXE", 1).view()) {
      // 8000 ms of silence, 50 times faster (the pauses of the raised line
      // come on top).
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(8000 / 50));
    }
  }
}

// The instrument answers (noise, "?", requests for a block), but no block is
// acknowledged for 8000 ms: "A.1202" ends the file, and once the instrument
// answers that, the file goes again from its header.
TEST_F(WinCETransfer, AFileNotAcknowledgedWhileTheInstrumentAnswersIsSentAgain) {
  const Answer noise{updater::EV_SERIAL_DATA, ""};
  const Answer endAnswers[] = {{261, "1"}, {updater::EV_NEGATIVE, ""}, {}};
  const Bytes content = WriteFile("MAIN.EXE", 4500);
  for (const Answer& end : endAnswers) {
    SCOPED_TRACE(end.code);
    instrument_.wire.clear();
    services_.view.log.clear();
    // Items: 0 A.1000, 1 rate, 2 header, 3 first block, 4 second block.
    instrument_.script = [&](const std::string& item, int index) {
      if (index == 4) return std::vector<Answer>{noise};
      return std::vector<Answer>{index == 5 ? end : Answer{}};
    };
    ASSERT_EQ(Program(), 1) << Boxes();
    const std::vector<std::string> commands = instrument_.Commands();
    ASSERT_GT(commands.size(), 6u);
    EXPECT_EQ(commands[5], "A.1202\r\n");
    EXPECT_EQ(commands[6], commands[2]);
    const std::vector<Received> files = FilesOf(commands);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].content, content);
    EXPECT_NE(std::find(services_.view.log.begin(), services_.view.log.end(), wince::FileAgainNote(1)),
              services_.view.log.end());
  }
}

TEST_F(WinCETransfer, AFileIsSentAgainTwiceAtMostAndNeverToASilentInstrument) {
  struct Case {
    const char* name;
    bool answersTheEnd;  // the instrument answers "A.1202"
    std::size_t ends;    // "A.1202" sent to end a file to be sent again
  };
  const Case cases[] = {{"noise every time", true, 2}, {"silent at the end of the file", false, 1}};
  WriteFile("MAIN.EXE", 4500);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    instrument_.wire.clear();
    services_.view.boxes.clear();
    instrument_.script = [&](const std::string& item, int) {
      if (item.starts_with("D.")) return std::vector<Answer>{{updater::EV_SERIAL_DATA, ""}};
      if (item == "A.1202\r\n") return c.answersTheEnd ? std::vector<Answer>{{261, "1"}} : std::vector<Answer>{};
      return std::vector<Answer>{Answer{}};
    };
    EXPECT_EQ(Program(), 0);
    const std::vector<std::string> commands = instrument_.Commands();
    EXPECT_EQ(static_cast<std::size_t>(std::count(commands.begin(), commands.end(), "A.1202\r\n")), c.ends);
    EXPECT_EQ(services_.view.boxes,
              std::vector<std::string>{std::string(wince::SilenceMessage("MAIN.EXE", 1).view())});
    EXPECT_EQ(commands.back(), "A.1300#9600\r\n");
    EXPECT_EQ(instrument_.line, test::ScriptedWinCE::Line{});
  }
}

// Interrupted at the raised rate, between two frames: nothing more of the
// file goes out, but the instrument is sent back to the rate the next run
// looks for it at.
TEST_F(WinCETransfer, AnInterruptedTransferSendsTheInstrumentBackToItsRate) {
  WriteFile("MAIN.EXE", 4500);
  instrument_.line = {serial::B__4800, serial::S_2, serial::NoParity};
  instrument_.script = [this](const std::string&, int index) {
    if (index == 3) services_.interrupted = true;
    return std::vector<Answer>{Answer{}};
  };
  EXPECT_EQ(Program(), 0);
  const std::vector<std::string> commands = instrument_.Commands();
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_TRUE(commands[3].starts_with("D."));
  EXPECT_EQ(commands[4], "A.1300#4800\r\n");
  EXPECT_EQ(instrument_.line, (test::ScriptedWinCE::Line{serial::B__4800, serial::S_2, serial::NoParity}));
  EXPECT_TRUE(services_.view.boxes.empty()) << Boxes();
}

struct Refusal {
  const char* name;
  const char* refused;  // the file the message names
  wince::FileProblem problem;
};

TEST_F(WinCETransfer, AFileThatCannotBeSentIsRefusedBeforeAnythingIsSent) {
  const Refusal cases[] = {
      {"main file missing", "GONE.EXE", wince::FileProblem::Missing},
      {"further file missing", "NOWHERE.DLL", wince::FileProblem::Missing},
      {"further file a folder", "FOLDER.DLL", wince::FileProblem::Unreadable},
      {"main file too large", "HUGE.EXE", wince::FileProblem::TooLarge},
  };
  WriteFile("MAIN.EXE", 100);
  WriteFile("HUGE.EXE", TWinCEProg::kMaxFileBytes + 1);
  ::mkdir((dir_ + "/FOLDER.DLL").c_str(), 0755);
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    instrument_.wire.clear();
    services_.view.boxes.clear();
    const bool main = std::string(c.refused).ends_with(".EXE");
    services_.record.ExtraFileCount = 0;
    if (!main) AddExtraFile(c.refused);

    EXPECT_EQ(Program(main ? c.refused : "MAIN.EXE"), 0);

    EXPECT_EQ(services_.view.boxes,
              std::vector<std::string>{std::string(wince::FileProblemMessage(c.problem, c.refused, 1).view())});
    EXPECT_TRUE(instrument_.wire.empty()) << instrument_.wire.front();
  }
}

TEST_F(WinCETransfer, AFileOfTheLargestSizeIsTaken) {
  const Bytes content = WriteFile("MAIN.EXE", TWinCEProg::kMaxFileBytes);
  ASSERT_EQ(Program(), 1) << Boxes();
  const std::vector<Received> files = FilesOf(instrument_.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].blocks.size(), 1500u);
  EXPECT_EQ(files[0].content, content);
}

}  // namespace
}  // namespace loaders
