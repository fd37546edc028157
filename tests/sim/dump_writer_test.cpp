#include "sim/dump_writer.h"

#include <gtest/gtest.h>

#include "sim_bench.h"

namespace sim::test {
namespace {

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

}  // namespace
}  // namespace sim::test
