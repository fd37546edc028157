// The running firmware's text protocol, driven with hand-written lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_bench.h"

namespace sim::test {
namespace {

struct ReplyCase {
  const char* name;
  std::vector<std::string_view> settings;
  const char* command;
  const char* expected;
};

class FirmwareReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(FirmwareReplies, AnswerAsConfigured) {
  InstrumentConfig config = *FindPreset("msp430-classic");
  for (const std::string_view setting : GetParam().settings) ASSERT_EQ(ApplySetting(config, setting), "");
  Bench configured(std::move(config));
  EXPECT_EQ(configured.Text(GetParam().command), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FirmwareReplies,
    ::testing::Values(
        ReplyCase{"identify", {}, "\r\n\r\nA.1111\r\n", "!\r\n"},
        ReplyCase{"pcb, family 23", {}, "A.2003\r\n", "I.23#28101.123\r\n"},
        ReplyCase{"device, family 203 with B.", {"family=203", "prefix=B."}, "A.2000\r\n", "B.200#28101.000\r\n"},
        ReplyCase{"version, family 2013", {"family=2013"}, "A.2001\r\n", "I.2011#1.10\r\n"},
        ReplyCase{"serial, family 2013", {"family=2013"}, "A.4001\r\n", "I.205#14120331\r\n"},
        ReplyCase{"comma form", {"comma_prefix=3"}, "A.2000\r\n", "I.20#3,28101.000\r\n"},
        ReplyCase{"second version", {"second_version=2.05"}, "A.2001\r\n", "I.21#1.10,2.05\r\n"},
        ReplyCase{"old firmware knows no serial command", {"version=0.063"}, "A.4001\r\n", "?\r\n"},
        ReplyCase{"firmware 0.064 does", {"version=0.064"}, "A.4001\r\n", "I.25#14120331\r\n"},
        ReplyCase{"unknown command", {}, "A.9999\r\n", "?\r\n"},
        ReplyCase{"not a command", {}, "hello\r\n", "?\r\n"},
        ReplyCase{"line end LF only", {}, "A.1000\n", "!\r\n"},
        ReplyCase{"extra reply line", {"extra.4001=I.262#"}, "A.4001\r\n", "I.25#14120331\r\nI.262#\r\n"},
        ReplyCase{"classic reset-vector query", {}, "A.5577\r\n", "I.80#4000\r\nA.5577\r\n"},
        ReplyCase{"no sensor to query", {}, "A.5555\r\n", "?\r\n"},
        ReplyCase{"sensor query", {"sensor=f149"}, "A.5555\r\n", "I.81#1100\r\nC.5555\r\n"},
        ReplyCase{"sensor version after the comma", {"sensor=f149"}, "A.2001\r\n", "I.21#1.10,1.00\r\n"},
        ReplyCase{"sensor boot loader", {"sensor=f149"}, "A.5566#RV83\r\n", "C.5566\r\n"},
        ReplyCase{"wrong access code", {}, "A.5588#RV84\r\n", "?\r\n"},
        ReplyCase{"start-up program version", {"startup_version=1.5"}, "A.2100\r\n", "I.2011#1.5\r\n"}));

TEST(FirmwareProtocol, StoresClockAndAirPressureAndLogsCommands) {
  Bench bench(Bench::Preset("msp430-classic"));
  EXPECT_EQ(bench.Text("A.1600#756123456\r\n"), "!\r\n");
  EXPECT_EQ(bench.Text("A.6162#952.3\r\n"), "!\r\n");
  const SimState& state = bench.Device().Status();
  EXPECT_EQ(state.clock, "756123456");
  EXPECT_EQ(state.airPressure, "952.3");
  EXPECT_EQ(state.commands, (std::vector<std::string>{"A.1600#756123456", "A.6162#952.3"}));
}

TEST(FirmwareProtocol, FiveXxQueryCarriesTheWholeVectorTableHighestWordFirst) {
  Bench bench(Bench::Preset("msp430-5xx"));
  const std::string reply = bench.Text("A.5577\r\n");
  // Reset vector 0x5C10 at 0xFFFE, the start word at 0xFFFC, the rest erased.
  EXPECT_EQ(reply, "I.80#0x5C100x5C10" + [] {
    std::string rest;
    for (int i = 0; i < 14; ++i) rest += "0xFFFF";
    return rest;
  }() + "\r\nA.5577\r\n");
}

TEST(FirmwareProtocol, EnterCommandHandsTheLineToTheBootLoader) {
  Bench bench(Bench::Preset("msp430-classic"));
  EXPECT_EQ(bench.Text("A.5588#RV83\r\n"), "A.5588\r\n");
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Exchange(Bytes{0x80}), Bytes{0x90});
}

// Switching off and on: with the boot key the loader starts afresh (at its
// first rate, locked); without it the firmware in the flash comes up.
TEST(FirmwareProtocol, PowerCycleStartsTheBootLoaderOnlyWithTheKeyHeld) {
  Bench bench(Bench::Preset("msp430-classic"));
  bench.Device().PowerCycle(true);
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Exchange(Bytes{0x80}, LineSettings{9600, 1, true}), Bytes{0x90});
  bench.Device().PowerCycle(false);
  EXPECT_TRUE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Text("A.1111\r\n"), "!\r\n");
}

TEST(FirmwareProtocol, WrongRateOrStopBitsGiveLineNoiseOnly) {
  Bench bench(Bench::Preset("msp430-classic"));
  for (const LineSettings seen : {LineSettings{4800, 2, false}, LineSettings{9600, 1, false}}) {
    const Bytes out = bench.Exchange(ToBytes("A.1111\r\n"), seen);
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(std::count(out.begin(), out.end(), '!'), 0);
  }
  EXPECT_EQ(bench.Device().Status().counters.garbledBytes, 16u);
  EXPECT_TRUE(bench.Device().Status().commands.empty());
}

TEST(FirmwareProtocol, LabBlocksAreBinaryAndBelongToTheAnnouncedFile) {
  Bench bench(Bench::Preset("msp430-classic"));
  Bytes block = ToBytes("A.12010#");
  block.push_back(4);
  for (const int b : std::initializer_list<int>{'\r', '\n', 0x00, '?'}) block.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(bench.Exchange(block), ToBytes("?\r\n")) << "no file announced";
  EXPECT_EQ(bench.Text("A.12000#data.bin\r\n"), "!\r\n");
  EXPECT_EQ(bench.Exchange(block), ToBytes("!\r\n"));
  EXPECT_EQ(bench.Exchange(block), ToBytes("!\r\n"));
  EXPECT_EQ(bench.Text("A.12030\r\n"), "!\r\n");
  EXPECT_EQ(bench.Text("A.12030\r\n"), "?\r\n") << "the file is already closed";
  const auto& files = bench.Device().Status().labFiles;
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "data.bin");
  EXPECT_EQ(files[0].data, (Bytes{'\r', '\n', 0x00, '?', '\r', '\n', 0x00, '?'}));
  EXPECT_TRUE(files[0].complete);
}

TEST(FirmwareProtocol, SecondComponentUpdatesItselfAndReports) {
  Bench bench(Bench::Preset("msp430-classic", {"second_version=1.00", "self_update_version=1.10"}));
  EXPECT_EQ(bench.Text("A.2005\r\n"), "!\r\nI.31#\r\n");
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#1.10,1.10\r\n");
}

TEST(FirmwareProtocol, TextFaultsRefuseAndSilence) {
  FaultPlan faults;
  faults.Add(*ParseFault("refuse:A.2001"));
  faults.Add(*ParseFault("silence:A.2000@2"));
  Bench bench(Bench::Preset("msp430-classic"), std::move(faults));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "?\r\n");
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#1.10\r\n");
  EXPECT_EQ(bench.Text("A.2000\r\n"), "I.20#28101.000\r\n");
  EXPECT_EQ(bench.Text("A.2000\r\n"), "");
  EXPECT_EQ(bench.Text("A.1111\r\n"), "");
}

}  // namespace
}  // namespace sim::test

namespace sim::test {
namespace {

TEST(FirmwareProtocol, OverlongLineIsRefusedAndTheNextCommandWorks) {
  Bench bench(Bench::Preset("msp430-classic"));
  EXPECT_EQ(bench.Text(std::string(400, 'A') + "\r\n"), "?\r\n?\r\n");
  EXPECT_EQ(bench.Text("A.1000\r\n"), "!\r\n");
}

}  // namespace
}  // namespace sim::test
