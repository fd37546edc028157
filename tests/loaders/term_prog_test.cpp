// The Basic-Loader download against a scripted port: the Basic-Loader's lines
// arrive as reads, the pieces go to a scripted writer that can be busy, fail
// or be gone. Judged on the bytes the writer took, the log and what the front
// end is told.
#include "loaders/term_prog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "loader_services.h"
#include "updater/event_codes.h"

namespace loaders {
namespace {

namespace fs = std::filesystem;

// Hands out scripted arrivals, one per read.
class ScriptedPort final : public LoaderPort {
 public:
  std::deque<std::string> arrivals;

  int Write(const std::uint8_t*, int length) override { return length; }
  int WriteText(const char* text) override {
    return static_cast<int>(std::string_view(text).size());
  }
  int Read(std::uint8_t* buffer, int size) override {
    if (arrivals.empty()) return 0;
    std::string& next = arrivals.front();
    const int n = std::min(size, static_cast<int>(next.size()));
    std::copy_n(next.data(), n, buffer);
    next.erase(0, static_cast<std::size_t>(n));
    if (next.empty()) arrivals.pop_front();
    return n;
  }
  void ChangeV24Parameter(serial::BaudTag, serial::StopBitTag, serial::ParitaetTag, bool) override {
  }
  void ChangeHandShake(serial::HandshakeTag) override {}
  void SaveLastV24Parameter() override {}
  void LoadLastV24Parameter() override {}
  serial::BaudTag LineBaud() const override { return serial::B_19200; }
  std::string Describe() const override { return "COM3 (/dev/pts/9)"; }
};

// A writer whose answer to each attempt is scripted (the count taken unless
// `answer` says otherwise); it keeps what it took.
class ScriptedLine final : public DownloadLine {
 public:
  std::function<int(int attempt)> answer;  ///< empty: every piece is taken
  std::string taken;
  std::vector<int> pieces;
  int attempts = 0;
  serial::HandshakeTag handshake = serial::NoHandshake;
  serial::BaudTag baud = serial::B__9600;

  void ChangeHandShake(serial::HandshakeTag h) override { handshake = h; }
  void ChangeBaudrate(serial::BaudTag b) override { baud = b; }
  int WriteAsync(const std::uint8_t* data, int length) override {
    const int result = answer ? answer(attempts) : length;
    ++attempts;
    if (result > 0) {
      taken.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
      pieces.push_back(length);
    }
    return result;
  }
};

// An S-record file of exactly `size` bytes (at least 28): one data record and
// the end record, then bytes from `seed` that the download sends unread.
std::string FileOf(std::size_t size, char seed) {
  std::string text = "S1050000AABB95\r\nS9030000FC\r\n";
  for (std::size_t i = text.size(); i < size; ++i) text += static_cast<char>(seed + i % 61);
  return text;
}

class TermProgTest : public ::testing::Test {
 protected:
  explicit TermProgTest(const platform::Clock& clock = platform::SystemClock()) : services_(clock) {
    dir_ = fs::temp_directory_path() /
           ("term_prog_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    services_.record.DeviceName = "pH 3310";
    services_.output.SetFoundComNumber(3);
  }
  ~TermProgTest() override {
    download_.reset();
    fs::remove_all(dir_);
  }

  void WriteFile(const char* name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  void Start() {
    context_ = std::make_unique<LoaderContext>(services_.Context(port_, dir_.string()));
    auto line = std::make_unique<ScriptedLine>();
    line_ = line.get();
    download_ = std::make_unique<TermProg>(*context_, std::move(line));
    download_->Start();
  }
  /// The instrument sends `text`; the window drains the queue.
  void Arrive(const std::string& text) {
    port_.arrivals.push_back(text);
    services_.Events().PostMessage(updater::EV_SERIAL_DATA, 3);
    services_.Drain().ProcessEvents();
  }
  /// Delivers timers and messages until `done` holds or `ms` have passed.
  bool RunUntil(const std::function<bool()>& done, platform::Tick ms) {
    platform::MessageLoop& loop = services_.Loop();
    const platform::Tick deadline = loop.GetClock().Now() + ms;
    while (!done() && !platform::TickReached(loop.GetClock().Now(), deadline)) {
      loop.WaitForMessage(deadline);
      loop.ProcessPendingMessages();
    }
    return done();
  }
  std::string Log() const {
    std::string all;
    for (const std::string& line : services_.view.log) all += line + "|";
    return all;
  }

  test::LoaderServices services_;
  ScriptedPort port_;
  ScriptedLine* line_ = nullptr;
  fs::path dir_;
  std::unique_ptr<LoaderContext> context_;
  std::unique_ptr<TermProg> download_;
};

TEST_F(TermProgTest, StartPutsTheLineAtRtsCts19200) {
  Start();
  EXPECT_EQ(line_->handshake, serial::RTS_CTS);
  EXPECT_EQ(line_->baud, serial::B_19200);
}

// Pieces of 2000 bytes, the rest in the last one, and nothing after it: no
// write and no further step in the queue.
TEST_F(TermProgTest, FileGoesOutInPiecesOf2000Bytes) {
  struct Case {
    std::size_t size;
    std::vector<int> pieces;
  };
  const Case cases[] = {{4500, {2000, 2000, 500}}, {4000, {2000, 2000}}, {2000, {2000}}, {28, {28}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string file = FileOf(c.size, 'A');
    WriteFile("L3_TermL.A37", file);
    Start();
    Arrive("Waiting for S-Record !\r\n");
    EXPECT_EQ(line_->pieces, c.pieces);
    EXPECT_EQ(line_->taken, file);
    EXPECT_EQ(line_->attempts, static_cast<int>(c.pieces.size()));
    EXPECT_EQ(services_.Events().PendingCount(), 0);
    EXPECT_EQ(services_.view.progress, 100);
  }
}

TEST_F(TermProgTest, Reply208ByteChoosesTheFileAndTheStatusLetter) {
  struct Case {
    char reply208;
    std::string content;
    const char* status;
  };
  WriteFile("L3_TermH.A37", FileOf(300, 'h'));
  WriteFile("L3_TermL.A37", FileOf(200, 'l'));
  const Case cases[] = {{'0', FileOf(300, 'h'), "H   100.0 %"},
                        {'1', FileOf(200, 'l'), "L   100.0 %"},
                        {'\0', FileOf(200, 'l'), "L   100.0 %"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply208);
    services_.record.Reply208Byte = c.reply208;
    Start();
    Arrive("Waiting for S-Record !");
    EXPECT_EQ(line_->taken, c.content);
    EXPECT_EQ(services_.view.progressPanel, c.status);
  }
}

// The writer refuses pieces while the previous one is on the line: each is
// tried again until taken, none is lost or doubled, and the retries are paced
// by a timer instead of spinning through the queue.
TEST_F(TermProgTest, RefusedPiecesAreSentAgainWithoutLossOrDoubling) {
  const std::string file = FileOf(9500, 'A');
  WriteFile("L3_TermL.A37", file);
  Start();
  const platform::Clock& clock = services_.Loop().GetClock();
  platform::Tick busyUntil = 0;
  line_->answer = [&](int) {
    if (!platform::TickReached(clock.Now(), busyUntil)) return DownloadLine::kBusy;
    busyUntil = clock.Now() + 40;  // the piece is on the line for 40 ms
    return 1;
  };
  Arrive("Waiting for S-Record !\r\n");
  ASSERT_TRUE(RunUntil([&] { return download_->SendPosition() == file.size(); }, 5000));
  EXPECT_EQ(line_->taken, file);
  EXPECT_EQ(line_->pieces, (std::vector<int>{2000, 2000, 2000, 2000, 1500}));
  EXPECT_GT(line_->attempts, 5);
  EXPECT_LT(line_->attempts, 5 * 20);
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(line_->pieces.size(), 5u);
}

TEST_F(TermProgTest, WriteErrorOrLostPortAbortsTheDownload) {
  struct Case {
    int result;
    std::string firstLine;
  };
  const Case cases[] = {
      {DownloadLine::kWriteError, "Programming abort !"},
      {0, "The connection to the instrument on COM3 (/dev/pts/9) was lost"},
      {DownloadLine::kClosed, "The connection to the instrument on COM3 (/dev/pts/9) was lost"},
  };
  WriteFile("L3_TermL.A37", FileOf(4000, 'A'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    services_.view.log.clear();
    services_.downloadEnds.clear();
    Start();
    line_->answer = [&](int attempt) { return attempt == 0 ? 2000 : c.result; };
    Arrive("Waiting for S-Record !\r\n");
    EXPECT_EQ(line_->attempts, 2);
    // The aborted download shows no share sent (the messages say why).
    EXPECT_EQ(services_.view.progressPanel, "");
    ASSERT_GE(services_.view.log.size(), 2u);
    EXPECT_EQ(services_.view.log[1].rfind(c.firstLine, 0), 0u) << Log();
    EXPECT_NE(services_.view.log.back().find("Programming abort !"), std::string::npos);
    EXPECT_TRUE(download_->Stopped());
    EXPECT_EQ(services_.downloadEnds, std::vector<bool>{false});
  }
}

TEST_F(TermProgTest, DefectiveRecordOrReplyTwoStopsThePieces) {
  struct Case {
    std::string reply;
    std::vector<std::string> log;
  };
  const std::string aborted =
      "Programming abort !\r\nDisconnect the pH 3310 from power supply unit and COM 3.\r\n"
      "Close the window program with File/Exit and start the program for a new download";
  const Case cases[] = {{"S-Record defect!\r\n", {"Transmit error !!\r\n", aborted}},
                        {"Record defekt!\r\n", {"Transmit error !!\r\n", aborted}},
                        {"I.2#\r\n", {aborted}}};
  WriteFile("L3_TermL.A37", FileOf(8000, 'A'));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    services_.downloadEnds.clear();
    Start();
    line_->answer = [](int attempt) { return attempt == 0 ? 2000 : DownloadLine::kBusy; };
    Arrive("Waiting for S-Record !\r\n");
    services_.view.log.clear();
    Arrive(c.reply);
    EXPECT_EQ(services_.view.log, c.log);
    line_->answer = nullptr;
    RunUntil([] { return false; }, 60);
    EXPECT_EQ(line_->taken.size(), 2000u);
    EXPECT_EQ(services_.downloadEnds, std::vector<bool>{false});
  }
}

// The whole file is with the port (100 % sent) when the instrument refuses
// it, or the user interrupts while it still works on it: the failed download
// must not go on showing 100 %. An interruption says the download's abort.
TEST_F(TermProgTest, FailedDownloadDoesNotShowWhatWasSent) {
  const std::function<void(TermProg&)> ends[] = {
      [this](TermProg&) { Arrive("S-Record defect!\r\n"); },
      [this](TermProg&) { Arrive("I.2#\r\n"); },
      [](TermProg& download) { EXPECT_TRUE(download.Interrupt()); },
  };
  WriteFile("L3_TermL.A37", FileOf(3000, 'A'));
  for (std::size_t i = 0; i < std::size(ends); ++i) {
    SCOPED_TRACE(i);
    services_.downloadEnds.clear();
    Start();
    Arrive("Waiting for S-Record !\r\n");
    ASSERT_TRUE(RunUntil([this] { return line_->taken.size() == 3000u; }, 1000));
    ASSERT_EQ(services_.view.progress, 100);
    ends[i](*download_);
    EXPECT_EQ(services_.view.progress, 0);
    EXPECT_EQ(services_.view.progressPanel.find("100"), std::string::npos) << services_.view.progressPanel;
    EXPECT_EQ(services_.view.title.find("100"), std::string::npos) << services_.view.title;
    EXPECT_EQ(services_.downloadEnds, std::vector<bool>{false});
    EXPECT_NE(Log().find("Programming abort !"), std::string::npos) << Log();
    EXPECT_FALSE(download_->Interrupt());  // nothing under way any more
  }
}

TEST_F(TermProgTest, SuccessLineInBothLanguagesBeepsOnceAndEndsTheRun) {
  struct Case {
    int language;
    std::string text;
  };
  const Case cases[] = {
      {0,
       "--------------------\r\nProgramm erfolgreich \xFC"
       "berspielt !\r\n\r\n"
       "Trennen Sie das pH 3310 vom Steckernetzteil und der Schnittstelle COM 3.\r\n\r\n"
       "Stecken Sie danach das Netzteil wieder an und starten Sie das pH 3310\r\n"
       "Beenden Sie das Windows-Programm unter Datei/Beenden."},
      {1,
       "--------------------\r\nProgram successfully programmed !\r\n\r\n"
       "Disconnect the pH 3310 from power supply unit and COM 3.\r\n\r\n"
       "Connect the pH 3310 with the power supply unit and start the pH 3310\r\n"
       "Close the window program with File/Exit."},
  };
  for (const Case& c : cases) {
    services_.output.SetLanguage(c.language);
    services_.downloadEnds.clear();
    services_.view.beeps = 0;
    Start();
    Arrive("Basic-Loader / 1.02\r\nSome text");
    Arrive("Flash-Memory programmed\r\n");
    EXPECT_EQ(services_.view.log, std::vector<std::string>{c.text});
    EXPECT_EQ(services_.view.beeps, 1);
    EXPECT_EQ(services_.downloadEnds, std::vector<bool>{true});
  }
}

TEST_F(TermProgTest, ErasingClearsTheLogAndPreparesInBothLanguages) {
  Start();
  services_.output.SetLanguage(0);
  Arrive("Erasing Flash-Memory (1) !\r\n");
  EXPECT_EQ(services_.view.logClears, 1);
  EXPECT_EQ(services_.view.log,
            std::vector<std::string>{"--------------------\r\nProgramm wird vorbereitet !!"});
  services_.output.SetLanguage(1);
  Arrive("Erasing Flash-Memory (2) !\r\n");
  EXPECT_EQ(services_.view.log,
            std::vector<std::string>{"--------------------\r\nPreparing program !!"});
}

TEST_F(TermProgTest, FileThatCannotBeSentWholeIsRefusedBeforeAnyByte) {
  struct Case {
    std::size_t size;  ///< 0: no file
    bool present;
    std::string box;
  };
  const Case cases[] = {
      {0, false, "Unable to open L3_TermH.A37"},
      {0, true, "L3_TermH.A37 is empty and is not sent."},
      {TermProg::kFileBytes + 1, true,
       "L3_TermH.A37 is larger than 2500000 bytes and is not sent: the instrument would get a "
       "truncated firmware."},
  };
  services_.record.Reply208Byte = '0';
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    fs::remove(dir_ / "L3_TermH.A37");
    if (c.present) WriteFile("L3_TermH.A37", std::string(c.size, 'S'));
    services_.view.boxes.clear();
    services_.view.captions.clear();
    services_.downloadEnds.clear();
    Start();
    Arrive("Waiting for S-Record !\r\n");
    EXPECT_EQ(services_.view.boxes, std::vector<std::string>{c.box});
    EXPECT_EQ(services_.view.captions, std::vector<std::string>{" Error "});
    EXPECT_EQ(line_->attempts, 0);
    EXPECT_EQ(services_.downloadEnds, std::vector<bool>{false});
  }
}

TEST_F(TermProgTest, FileOfExactlyTheLimitIsSentWhole) {
  const std::string file = FileOf(TermProg::kFileBytes, 'S');
  WriteFile("L3_TermL.A37", file);
  Start();
  Arrive("Waiting for S-Record !\r\n");
  EXPECT_TRUE(line_->taken == file);
}

TEST_F(TermProgTest, StopEndsThePiecesEvenWhileOneWaitsForItsRetry) {
  WriteFile("L3_TermL.A37", FileOf(6000, 'A'));
  Start();
  line_->answer = [](int attempt) { return attempt == 0 ? 2000 : DownloadLine::kBusy; };
  Arrive("Waiting for S-Record !\r\n");
  download_->RequestStop();
  line_->answer = nullptr;
  RunUntil([] { return false; }, 60);
  EXPECT_EQ(line_->taken.size(), 2000u);
  EXPECT_EQ(services_.Events().PendingCount(), 0);
}

// A clock 100 times faster: the 60 s without a word from the instrument pass
// in 0.6 s, and a slow line's 30 s between pieces keep 0.3 s of margin for a
// loaded machine (at 1000 times, 30 ms of scheduling delay ended the run).
const platform::Clock& FastClock() {
  static const std::unique_ptr<platform::Clock> clock = platform::MakeSteadyClock(100.0);
  return *clock;
}

class TermProgSilenceTest : public TermProgTest {
 protected:
  TermProgSilenceTest() : TermProgTest(FastClock()) {}
};

// The user is told what to do, and a loader that speaks up later gets nothing.
TEST_F(TermProgSilenceTest, SixtySecondsWithoutAWordAbortTheDownload) {
  WriteFile("L3_TermL.A37", FileOf(8000, 'A'));
  Start();
  ASSERT_TRUE(RunUntil([&] { return !services_.downloadEnds.empty(); }, TermProg::kSilenceMs * 2));
  EXPECT_EQ(services_.downloadEnds, std::vector<bool>{false});
  ASSERT_EQ(services_.view.log.size(), 2u);
  EXPECT_EQ(services_.view.log[0], "No answer from the Basic-Loader for 60 s.");
  EXPECT_EQ(services_.view.log[1].rfind("Programming abort !\r\n", 0), 0u) << services_.view.log[1];
  EXPECT_TRUE(download_->Stopped());
  Arrive("Waiting for S-Record !\r\n");
  EXPECT_EQ(download_->SendPosition(), 0u);
}

TEST_F(TermProgSilenceTest, ArrivalsAndTakenPiecesKeepTheDownloadAlive) {
  WriteFile("L3_TermL.A37", FileOf(10000, 'A'));
  Start();
  const platform::Clock& clock = services_.Loop().GetClock();
  platform::Tick busyUntil = 0;
  line_->answer = [&](int) {
    if (!platform::TickReached(clock.Now(), busyUntil)) return DownloadLine::kBusy;
    busyUntil = clock.Now() + TermProg::kSilenceMs / 2;  // a slow line, but it moves
    return 2000;
  };
  Arrive("Waiting for S-Record !\r\n");
  RunUntil([&] { return download_->SendPosition() == 10000; }, TermProg::kSilenceMs * 30);
  EXPECT_EQ(download_->SendPosition(), 10000u);
  EXPECT_TRUE(services_.downloadEnds.empty());
}

}  // namespace
}  // namespace loaders
