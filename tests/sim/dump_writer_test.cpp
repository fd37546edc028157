#include "sim/dump_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim_bench.h"

namespace sim::test {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(StateJson, ReportsWhatTheInstrumentSawWithTextsEscaped) {
  Bench bench(Bench::Preset("msp430-classic"));
  bench.Text("A.1600#12\"3\r\n");
  bench.Text("A.6162#9\xE4\x01\r\n");
  bench.Exchange(Bytes{0x80}, LineSettings{4800, 1, false});
  const std::string json = StateJson(bench.Device());
  EXPECT_NE(json.find("\"running\": \"firmware\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"firmware_version\": \"1.10\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"clock\": \"12\\\"3\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"air_pressure\": \"9\\u00E4\\u0001\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"load_pc\": null"), std::string::npos) << json;
  EXPECT_NE(json.find("\"commands\": [\"A.1600#12\\\"3\", \"A.6162#9\\u00E4\\u0001\"]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"garbled_bytes\": 1"), std::string::npos) << json;
}

TEST(DumpWriter, KeepsFinishedLabFilesUnderNamesThatStayInTheDirectory) {
  char pattern[] = "/tmp/sim-dump-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  Bench bench(Bench::Preset("msp430-classic"));
  bench.Text("A.12000#../evil/x.dat\r\n");
  bench.Exchange(Bytes{'A', '.', '1', '2', '0', '1', '0', '#', 2, 0x00, 0xFF});
  bench.Text("A.12030\r\n");
  bench.Text("A.12000#open.dat\r\n");  // never ended: not kept
  ASSERT_TRUE(DumpWriter(dir).Write(bench.Device(), true));
  EXPECT_EQ(ReadAll(dir + "/lab-.._evil_x.dat"), std::string("\0\xFF", 2));
  EXPECT_FALSE(std::filesystem::exists(dir + "/lab-open.dat"));
  EXPECT_NE(StateJson(bench.Device()).find("\"lab_files\": [\"../evil/x.dat\", \"open.dat\"]"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sim::test
