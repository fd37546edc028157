// The WinCE instrument's file copy as a whole: headers, the line switch, the
// end of a file and of the transfer, the dump, and the installation's files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/dump_writer.h"
#include "sim/wince_image.h"
#include "wince_bench.h"

namespace sim::test {
namespace {

// 2026-12-10 14:32:58 as a DOS date (high half) and time (low half).
constexpr std::uint32_t kDosDate =
    ((46u << 9 | 12u << 5 | 10u) << 16) | (14u << 11 | 32u << 5 | 29u);

TEST(WinceTransfer, IdentifiesLikeAnyInstrumentAndTellsItsStartupVersion) {
  Bench bench(Bench::Preset("wince", {"startup_version=1.05"}));
  EXPECT_EQ(bench.Text("\r\n\r\nA.1111\r\n"), "!\r\n");
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#4.10\r\n");
  EXPECT_EQ(bench.Text("A.2100\r\n"), "I.2011#1.05\r\n");
  EXPECT_EQ(bench.Text("A.1000\r\n"), "!\r\n");
}

TEST(WinceTransfer, KeepsEveryFileWithItsHeader) {
  Bench bench(Bench::Preset("wince"));
  const Bytes app = Pattern(4500, 1);  // blocks of 2000, 2000 and 500
  const Bytes dll = Pattern(4000, 2);  // a multiple of 2000: two full blocks
  EXPECT_EQ(CopyFile(bench, "APP.EXE", app, kDosDate), "!\r\n!\r\n!\r\n!\r\n!\r\n");
  EXPECT_EQ(bench.Text(WinceHeader("HELPER.DLL", kDosDate, dll.size(), "A.1205")), "!\r\n");
  for (std::size_t at = 0; at < dll.size(); at += 2000) {
    EXPECT_EQ(AsText(bench.Exchange(WinceFrame(Bytes(dll.begin() + at, dll.begin() + at + 2000)))),
              "!\r\n");
  }
  EXPECT_EQ(bench.Text("A.1202\r\n"), "!\r\n");
  EXPECT_EQ(bench.Text("A.1203\r\n"), "!\r\n");
  const auto& files = bench.Device().Status().winceFiles;
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "APP.EXE");
  EXPECT_EQ(files[0].header, "A.1201");
  EXPECT_EQ(files[0].dosDateTime, kDosDate);
  EXPECT_EQ(files[0].blocks, 3u);
  EXPECT_EQ(files[0].data, app);
  EXPECT_EQ(files[1].header, "A.1205");
  EXPECT_EQ(files[1].blocks, 2u);
  EXPECT_EQ(files[1].data, dll);
  EXPECT_EQ(files[1].status, WinceFile::Status::kComplete);
}

TEST(WinceTransfer, RunsWhatItReceivedOnceTheTransferHasEnded) {
  Bench bench(Bench::Preset("wince"));
  CopyFile(bench, "WINCEAPP.EXE", BuildWinceFile({"WINCEAPP.EXE", "4.20", 3000}));
  CopyFile(bench, "HELPER.DLL", BuildWinceFile({"HELPER.DLL", "4.15", 3000}));
  CopyFile(bench, "TARVOSTARTUP.EXE", BuildWinceFile({"TARVOSTARTUP.EXE", "1.10", 3000}));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#4.10\r\n") << "not before the end of the transfer";
  EXPECT_EQ(bench.Text("A.1203\r\n"), "!\r\n");
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#4.20\r\n")
      << "the first program file is the application";
  EXPECT_EQ(bench.Text("A.2100\r\n"), "I.2011#1.10\r\n");
  bench.Device().PowerCycle(false);
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#4.20\r\n");
  EXPECT_EQ(bench.Text("A.2100\r\n"), "I.2011#1.10\r\n");
  EXPECT_NE(StateJson(bench.Device()).find("\"startup_version\": \"1.10\""), std::string::npos);
}

TEST(WinceTransfer, StepsOutOfTurnAreRefused) {
  Bench bench(Bench::Preset("wince"));
  EXPECT_EQ(bench.Text("A.1202\r\n"), "?\r\n") << "no file open";
  EXPECT_EQ(bench.Text("A.1201#APP.EXE,12\r\n"), "?\r\n") << "no size";
  EXPECT_EQ(bench.Text("A.1201#APP.EXE,12,x\r\n"), "?\r\n") << "size not decimal";
  EXPECT_EQ(bench.Text("A.1201#,12,3\r\n"), "?\r\n") << "no name";
  EXPECT_EQ(bench.Text("A.1202#1\r\n"), "?\r\n") << "parameter where none belongs";
  EXPECT_EQ(bench.Text(WinceHeader("A,B.DAT", 7, 3)), "!\r\n") << "a comma in the name";
  EXPECT_EQ(bench.Text(WinceHeader("C.DAT", 7, 3)), "?\r\n") << "another file is open";
  EXPECT_EQ(bench.Text("A.1203\r\n"), "?\r\n") << "the file is not ended";
  EXPECT_EQ(bench.Text("A.1202\r\n"), "I.261#1\r\n") << "three bytes announced, none came";
  const WinceFile& file = bench.Device().Status().winceFiles.at(0);
  EXPECT_EQ(file.name, "A,B.DAT");
  EXPECT_EQ(file.status, WinceFile::Status::kIncomplete);
  EXPECT_EQ(bench.Text("A.1203\r\n"), "!\r\n");
}

TEST(WinceTransfer, SwitchesItsLineAfterAcknowledgingTheRate) {
  Bench bench(Bench::Preset("wince"));
  const LineSettings old{9600, 2, false};
  const LineSettings raised{38400, 2, false};
  EXPECT_EQ(bench.Text("A.1300#12345\r\n"), "?\r\n") << "not a rate";
  bench.Device().Receive(ToBytes("A.1300#38400\r\n"), old);
  ASSERT_EQ(bench.Device().Output().size(), 1u);
  EXPECT_EQ(AsText(bench.Device().Output().front().bytes), "!\r\n");
  EXPECT_EQ(bench.Device().Output().front().line.baud, 9600u) << "acknowledged at the old rate";
  bench.Drain();
  EXPECT_EQ(bench.Device().Line().baud, 38400u);
  EXPECT_EQ(bench.Device().Line().stopBits, 2);
  EXPECT_EQ(AsText(bench.Exchange(ToBytes("A.1000\r\n"), old)).find('!'), std::string::npos)
      << "old rate is noise";
  EXPECT_EQ(AsText(bench.Exchange(ToBytes("A.1000\r\n"), raised)), "!\r\n");
  EXPECT_EQ(AsText(bench.Exchange(ToBytes("A.1300#9600\r\n"), raised)), "!\r\n");
  EXPECT_EQ(AsText(bench.Exchange(ToBytes("A.1600#46000.5\r\n"), old)), "!\r\n");
  EXPECT_EQ(bench.Device().Status().clock, "46000.5");
}

TEST(WinceTransfer, CanAcknowledgeTheRateLateAtTheNewRate) {
  Bench bench(Bench::Preset("wince", {"rate_ack_ms=3000"}));
  const platform::Tick start = bench.Clock().Now();
  bench.Device().Receive(ToBytes("A.1300#38400\r\n"), LineSettings{9600, 2, false});
  EXPECT_EQ(bench.Device().Line().baud, 38400u) << "switched at once";
  ASSERT_EQ(bench.Device().Output().size(), 1u);
  EXPECT_EQ(bench.Device().Output().front().line.baud, 38400u);
  EXPECT_GE(bench.Device().Output().front().due - start, 3000u);
}

TEST(WinceTransfer, SettingsBelongToTheWinceInstrument) {
  InstrumentConfig classic = *FindPreset("msp430-classic");
  EXPECT_NE(ApplySetting(classic, "rate_ack_ms=10"), "");
  InstrumentConfig wince = *FindPreset("wince");
  EXPECT_NE(ApplySetting(wince, "reject_text=2"), "") << "2 asks for the block again";
  EXPECT_EQ(ApplySetting(wince, "reject_text=0"), "");
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(WinceDump, KeepsCompleteFilesUnderSafeNamesWithTheirDates) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "sim-wince-dump-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  Bench bench(Bench::Preset("wince"));
  CopyFile(bench, "..\\evil/APP.EXE", Pattern(2500), kDosDate);
  bench.Text(WinceHeader("OPEN.DAT", 0, 5));  // never ended: not kept
  ASSERT_TRUE(DumpWriter(dir.string()).Write(bench.Device(), true));
  EXPECT_TRUE(ReadAll(dir / "wince" / "_.._evil_APP.EXE") == AsText(Pattern(2500)));
  EXPECT_FALSE(std::filesystem::exists(dir / "wince" / "OPEN.DAT"));
  const std::string json = StateJson(bench.Device());
  EXPECT_NE(json.find("\"line_baud\": 9600"), std::string::npos) << json;
  EXPECT_NE(
      json.find(
          "{\"name\": \"..\\\\evil/APP.EXE\", \"header\": \"A.1201\", \"dos_date_time\": " +
          std::to_string(kDosDate) +
          ", \"date\": \"2026-12-10 14:32:58\", \"size\": 2500, \"received\": 2500, \"blocks\": 2, "
          "\"status\": \"complete\", \"dump\": \"wince/_.._evil_APP.EXE\"}"),
      std::string::npos)
      << json;
  EXPECT_NE(json.find("\"name\": \"OPEN.DAT\""), std::string::npos) << json;
  std::filesystem::remove_all(dir);
}

TEST(WinceDump, NamesStayInTheFolder) {
  EXPECT_EQ(WinceDumpName("APP.EXE"), "wince/APP.EXE");
  EXPECT_EQ(WinceDumpName(".."), "wince/_..");
  EXPECT_EQ(WinceDumpName("."), "wince/_.");
  EXPECT_EQ(WinceDumpName(""), "wince/_");
  EXPECT_EQ(WinceDumpName("../../etc/passwd"), "wince/_.._.._etc_passwd");
  EXPECT_EQ(WinceDumpName("DATA\\B.DAT"), "wince/DATA_B.DAT");
}

// The version as the updater's lookup finds it in a program file: among the
// zero-terminated 16-bit texts of the last 64000 bytes, the first that holds
// the key; the version is the text three units after that one's terminator.
std::string LookUpVersion(const Bytes& file) {
  const std::size_t tail = std::min<std::size_t>(file.size(), 64000);
  const std::uint8_t* bytes = file.data() + file.size() - tail;
  const std::size_t units = tail / 2;
  auto unit = [&](std::size_t i) {
    return static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  };
  auto text = [&](std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < units && unit(i) != 0; ++i) out += static_cast<char>(unit(i));
    return out;
  };
  for (std::size_t start = 0; start < units;) {
    const std::string string = text(start);
    if (string.find(kWinceVersionKey) != std::string::npos)
      return text(start + string.size() + 1 + 3);
    start += string.size() + 1;
  }
  return "";
}

TEST(WinceImage, ProgramFilesCarryTheirVersionWhereTheLookupReadsIt) {
  for (const std::uint32_t size : {1000u, 40000u, 40001u, 200000u}) {
    const Bytes file = BuildWinceFile({"APP.EXE", "4.20", size});
    EXPECT_GE(file.size(), size);
    EXPECT_EQ(file.size() % 2, 0u);
    EXPECT_EQ(LookUpVersion(file), "4.20") << size;
    EXPECT_EQ(WinceFileVersion(file), "4.20") << size;
  }
  const Bytes data = BuildWinceFile({"SETTINGS.DAT", "", 4501});
  EXPECT_EQ(data.size(), 4501u) << "no version: the size as asked";
  EXPECT_EQ(WinceFileVersion(data), "");
}

TEST(WinceImage, IsDeterministicAndDiffersByNameAndVersion) {
  EXPECT_EQ(BuildWinceFile({"APP.EXE", "4.20", 5000}), BuildWinceFile({"APP.EXE", "4.20", 5000}));
  EXPECT_NE(BuildWinceFile({"APP.EXE", "4.20", 5000}), BuildWinceFile({"APP.EXE", "4.10", 5000}));
  EXPECT_NE(BuildWinceFile({"APP.EXE", "4.20", 5000}), BuildWinceFile({"LIB.DLL", "4.20", 5000}));
}

}  // namespace
}  // namespace sim::test
