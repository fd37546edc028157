// The terminal's Basic-Loader, driven with the running firmware's commands
// and S-record streams: its lines, the strict record check, the flash it
// programs and the faults it can be given.
#include "sim/basic_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "sim/terminal_image.h"
#include "sim_bench.h"

namespace sim::test {
namespace {

constexpr std::string_view kAnnouncement =
    "Basic-Loader / 1.02\r\nErasing Flash-Memory (1) !\r\nErasing Flash-Memory (2) !\r\n"
    "Flash-Memory (1/2) erased !\r\nWaiting for S-Record !\r\n";
constexpr std::string_view kDefect = "S-Record defect!\r\n";
constexpr std::size_t kPiece = 2000;  // what the updater hands to its port at a time

const LineSettings kLoaderLine{19200, 2, false, true};
const LineSettings kNoFlowControl{19200, 2, false, false};

const TerminalImageSpec kSmall{"1.30", 0x4010, 0x300};

std::string File(const TerminalImageSpec& recipe = kSmall, std::string_view header = "L3_TermH.A37") {
  return TerminalSRecordFile(recipe, header, 3);
}

// An instrument of the basic-loader preset whose terminal waits for S-records.
struct LoaderBench {
  Bench bench;
  std::string announcement;

  explicit LoaderBench(std::initializer_list<std::string_view> settings = {}, FaultPlan faults = {})
      : bench(Bench::Preset("basic-loader", settings), std::move(faults)) {
    EXPECT_TRUE(bench.Text("A.2005\r\n").starts_with("I.208#"));
    const std::string answer = bench.Text("A.1220\r\n");
    EXPECT_TRUE(answer.starts_with("!\r\n")) << answer;
    announcement = answer.substr(std::min<std::size_t>(3, answer.size()));
  }

  // Sends the stream in pieces as the updater does; returns all answers.
  std::string Send(std::string_view stream, const LineSettings& line = kLoaderLine) {
    std::string answers;
    for (std::size_t at = 0; at < stream.size(); at += kPiece) {
      const Bytes out = bench.Exchange(ToBytes(stream.substr(at, kPiece)), line);
      answers.append(out.begin(), out.end());
    }
    return answers;
  }

  std::vector<std::uint8_t> Flash(std::uint32_t address, std::size_t count) const {
    const auto& image = const_cast<Bench&>(bench).Device().Terminal()->Image();
    return {image.begin() + address, image.begin() + address + count};
  }
  const SimState& State() { return bench.Device().Status(); }
};

void ExpectHolds(const LoaderBench& loader, const TerminalImageSpec& recipe) {
  for (const ImageSegment& segment : BuildTerminalImage(recipe)) {
    EXPECT_EQ(loader.Flash(segment.address, segment.data.size()), segment.data) << std::hex << segment.address;
  }
}

TEST(BasicLoader, ReachedThroughTheFirmwareAnnouncesErasesAndProgramsTheFile) {
  Bench bench(Bench::Preset("basic-loader"));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#2.00,1.20\r\n");
  EXPECT_EQ(bench.Text("A.2005\r\n"), "I.208#0\r\n") << "no acknowledgement: it would start the download too early";
  bench.Device().Receive(ToBytes("A.1220\r\n"), bench.Device().Line());
  ASSERT_EQ(bench.Device().Output().size(), 6u);
  EXPECT_EQ(bench.Device().Output().front().line.baud, 9600u) << "the acknowledgement leaves at the firmware's rate";
  EXPECT_EQ(bench.Device().Output().back().line.baud, 19200u) << "the loader's lines at its own";
  EXPECT_EQ(bench.Device().Line().baud, 19200u);
  const Bytes lines = bench.Drain();
  EXPECT_EQ(std::string(lines.begin(), lines.end()), "!\r\n" + std::string(kAnnouncement));
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Device().Status().bootLoaderComponent, 2);
  EXPECT_EQ(bench.Device().Terminal()->Version(), std::nullopt) << "both banks erased";

  const std::string file = File();
  std::string answers;
  for (std::size_t at = 0; at < file.size(); at += kPiece) {
    const Bytes out = bench.Exchange(ToBytes(std::string_view(file).substr(at, kPiece)), kLoaderLine);
    answers.append(out.begin(), out.end());
  }
  EXPECT_EQ(answers, "Flash-Memory (1) programmed !\r\n");
  const SimState& state = bench.Device().Status();
  EXPECT_EQ(state.secondVersion, "1.30");
  EXPECT_EQ(state.counters.frames, 28u) << "S0, 24 code records, the version, S5, S8";
  EXPECT_EQ(state.counters.programs, 25u);
  EXPECT_EQ(state.counters.erases, 2u);
  EXPECT_EQ(state.counters.badFrames, 0u);
}

TEST(BasicLoader, FlashHoldsTheImageAndNothingElse) {
  LoaderBench loader;
  EXPECT_EQ(loader.announcement, kAnnouncement);
  ASSERT_EQ(loader.Send(File()), "Flash-Memory (1) programmed !\r\n");
  ExpectHolds(loader, kSmall);
  const auto& image = loader.bench.Device().Terminal()->Image();
  const auto programmed = std::count_if(image.begin(), image.end(), [](std::uint8_t b) { return b != 0xFF; });
  EXPECT_LE(programmed, 0x300 + 6);
  EXPECT_EQ(loader.Send(File()), "") << "after the end record the loader takes nothing more";

  // The user switches the instrument off and on: its firmware reports the new terminal.
  loader.bench.Device().PowerCycle(false);
  EXPECT_EQ(loader.bench.Text("A.2001\r\n"), "I.21#2.00,1.30\r\n");
}

// A case's description as a test name: letters and digits, the rest "_".
std::string TestName(std::string name) {
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

struct DefectCase {
  const char* name;
  std::string stream;
};

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

std::string Body(const std::string& file) { return file.substr(file.find("\r\n") + 2); }  // without S0

class DefectiveStream : public ::testing::TestWithParam<DefectCase> {};

// Each stream is refused at the record that is wrong, and the loader then
// stops taking records: the rest of the file does not reach the flash.
TEST_P(DefectiveStream, AnsweredDefectAndNothingMoreTaken) {
  LoaderBench loader;
  EXPECT_EQ(loader.Send(GetParam().stream), kDefect) << GetParam().name;
  const SimCounters before = loader.State().counters;
  EXPECT_EQ(before.badFrames, 1u);
  EXPECT_EQ(loader.Send(File()), "") << "stopped";
  EXPECT_EQ(loader.State().counters.frames, before.frames);
  EXPECT_EQ(loader.State().counters.programs, before.programs);
}

const std::string kFile = File();
const std::string kBig = File({"1.30", 0x4010, 0x1000});
const std::string kFirstCode = kFile.substr(kFile.find("\r\n") + 2, 76);  // S224004010...
// The first code record with its checksum's last digit changed.
const std::string kBadSum = kFirstCode.substr(0, 75) + (kFirstCode[75] == '0' ? "1" : "0");

INSTANTIATE_TEST_SUITE_P(
    Table, DefectiveStream,
    ::testing::Values(
        DefectCase{"checksum", Replace(kFile, kFirstCode, kBadSum)},
        DefectCase{"count", Replace(kFile, "S224004010", "S225004010")},
        DefectCase{"not hex", Replace(kFile, "S224004010", "S22400401G")},
        DefectCase{"a digit lost", Replace(kFile, "S224004010", "S22400401")},
        DefectCase{"type 4", Replace(kFile, "S224004010", "S424004010")},
        DefectCase{"no header", Body(kFile)},
        DefectCase{"header of the other terminal", File(kSmall, "L3_TermL.A37")},
        DefectCase{"header of something else", File(kSmall, "firmware.s19")},
        DefectCase{"two headers", kFile.substr(0, kFile.find("\r\n") + 2) + kFile},
        DefectCase{"into the loader's own flash", File({"1.30", 0x3FF0, 0x40})},
        DefectCase{"past the end of the flash", File({"1.30", 0xFFFF0, 0x40})},
        DefectCase{"a piece sent twice overlaps other data",
                   kBig.substr(0, 2 * kPiece) + kBig.substr(kPiece, kPiece) + kBig.substr(2 * kPiece)},
        DefectCase{"record count", Replace(kFile, "S5030019E3", "S503001AE2")},
        DefectCase{"start address outside the application", Replace(kFile, "S804004010AB", "S8040000107B")},
        DefectCase{"end without data", kFile.substr(0, kFile.find("\r\n") + 2) + "S804004010AB\r\n"},
        DefectCase{"a line longer than any record", std::string(600, 'S')},
        DefectCase{"a stray character between records", Replace(kFile, "\r\nS224004030", "\r\n.S224004030")}),
    [](const auto& info) { return TestName(info.param.name); });

TEST(BasicLoader, WithoutFlowControlTheRecordsOverrunIt) {
  LoaderBench loader;
  EXPECT_EQ(loader.Send(File(), kNoFlowControl), kDefect);
  EXPECT_EQ(loader.State().counters.frames, 0u);
}

TEST(BasicLoader, AtAnotherRateTheStreamIsNoise) {
  LoaderBench loader;
  const std::string answer = loader.Send(File(), LineSettings{9600, 2, false, true});
  EXPECT_EQ(answer.find("programmed"), std::string::npos);
  EXPECT_GT(loader.State().counters.garbledBytes, 0u);
}

struct VariantCase {
  const char* name;
  std::vector<std::string_view> settings;
  TerminalImageSpec recipe;
  const char* header;
  std::string announcement;
  std::string end;
};

class LoaderVariants : public ::testing::TestWithParam<VariantCase> {};

TEST_P(LoaderVariants, SayWhatTheirVersionSays) {
  const VariantCase& c = GetParam();
  InstrumentConfig config = Bench::Preset("basic-loader");
  for (const std::string_view setting : c.settings) ASSERT_EQ(ApplySetting(config, setting), "") << setting;
  Bench bench(std::move(config));
  bench.Text("A.2005\r\n");
  EXPECT_EQ(bench.Text("A.1220\r\n"), "!\r\n" + c.announcement) << c.name;
  const std::string file = TerminalSRecordFile(c.recipe, c.header, 4);
  const Bytes out = bench.Exchange(ToBytes(file), kLoaderLine);
  EXPECT_EQ(std::string(out.begin(), out.end()), c.end) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoaderVariants,
    ::testing::Values(
        VariantCase{"loader 1.01",
                    {"loader_version=1.01"},
                    kSmall,
                    "L3_TermH.A37",
                    "Basic-Loader / 1.01\r\nFlash-Memory erased !\r\nWaiting for S-Record !\r\n",
                    "Flash-Memory programmed\r\n"},
        VariantCase{"loader 1.01 defect", {"loader_version=1.01"}, kSmall, "L3_TermL.A37",
                    "Basic-Loader / 1.01\r\nFlash-Memory erased !\r\nWaiting for S-Record !\r\n", "Record defekt!\r\n"},
        VariantCase{"terminal for the L file", {"reply_208=1"}, kSmall, "L3_TermL.A37", std::string(kAnnouncement),
                    "Flash-Memory (1) programmed !\r\n"},
        VariantCase{"code in bank 2", {}, {"1.30", 0x7FFF0, 0x40}, "L3_TermH.A37", std::string(kAnnouncement),
                    "Flash-Memory (2) programmed !\r\n"},
        VariantCase{"ends with four bytes", {"end_bytes=1"}, kSmall, "L3_TermH.A37", std::string(kAnnouncement),
                    "\xA1\x48\x20\x14"}),
    [](const auto& info) { return TestName(info.param.name); });

TEST(BasicLoader, LinesKeepTheirTimes) {
  Bench bench(Bench::Preset("basic-loader", {"loader_start_ms=700", "erase_ms=1500"}));
  bench.Text("A.2005\r\n");
  const platform::Tick start = bench.Clock().Now();
  bench.Device().Receive(ToBytes("A.1220\r\n"), bench.Device().Line());
  std::vector<platform::Tick> due;
  for (const OutputChunk& chunk : bench.Device().Output()) due.push_back(chunk.due - start);
  // "!" after the firmware's reply time, the banner 700 ms later, a bank per 1500 ms.
  EXPECT_EQ(due, (std::vector<platform::Tick>{10, 710, 710, 2210, 3710, 3710}));
}

struct FaultCase {
  const char* fault;
  std::string answers;  ///< to the whole file
};

class LoaderFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LoaderFaults, StrikeAtTheNthRecord) {
  FaultPlan faults;
  faults.Add(*ParseFault(GetParam().fault));
  LoaderBench loader({}, std::move(faults));
  EXPECT_EQ(loader.Send(File()), GetParam().answers) << GetParam().fault;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoaderFaults,
    ::testing::Values(FaultCase{"nak:record@3", std::string(kDefect)},
                      FaultCase{"abort:record@3", "I.2#\r\n"},
                      FaultCase{"garbage:record@2",
                                std::string("\xFE\xF8\xE0\xFF\xC0\xFC\xFE\xF8") + "Flash-Memory (1) programmed !\r\n"},
                      FaultCase{"silence:record@2", ""}));

TEST(BasicLoader, AnnouncementFaults) {
  FaultPlan garbage;
  garbage.Add(*ParseFault("garbage:announce"));
  LoaderBench noisy({}, std::move(garbage));
  EXPECT_EQ(noisy.announcement.find("Waiting"), std::string::npos);
  EXPECT_FALSE(noisy.announcement.empty());

  FaultPlan silence;
  silence.Add(*ParseFault("silence:announce"));
  LoaderBench silent({}, std::move(silence));
  EXPECT_EQ(silent.announcement, "");
  EXPECT_EQ(silent.Send(File()), "");
}

TEST(BasicLoader, KeysBelongToTheTerminal) {
  InstrumentConfig classic = *FindPreset("msp430-classic");
  EXPECT_NE(ApplySetting(classic, "reply_208=1"), "");
  InstrumentConfig terminal = *FindPreset("basic-loader");
  EXPECT_NE(ApplySetting(terminal, "loader_version=1.03"), "");
  EXPECT_NE(ApplySetting(terminal, "terminal_version=1.2345"), "") << "does not fit its record";
  EXPECT_EQ(ApplySetting(terminal, "terminal_version=1.25"), "");
  Bench bench(std::move(terminal));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#2.00,1.25\r\n");
}

TEST(BasicLoader, OtherPresetsKeepTheirAnswersToTheTerminalCommands) {
  Bench bench(Bench::Preset("msp430-classic"));
  EXPECT_EQ(bench.Text("A.1220\r\n"), "!\r\n");
  EXPECT_TRUE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Text("A.2005\r\n").rfind("!\r\n", 0), 0u);
}

}  // namespace
}  // namespace sim::test
