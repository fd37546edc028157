// Version values, download times, the air-pressure table and the clock command.
#include <gtest/gtest.h>

#include "../updater/local_time.h"
#include "updater/device_record.h"
#include "updater/workflow/air_pressure.h"
#include "updater/workflow/clock_command.h"
#include "updater/workflow/download_time.h"
#include "updater/workflow/search_tables.h"
#include "updater/workflow/version_value.h"

namespace updater {
namespace {

TEST(VersionValue, ReadsDecimalTimes1000_01Truncated) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"1.23", 1230},  {"1.229", 1229}, {"0.063", 63},  {"0.05", 50},     {"1.049", 1049},
      {"1.05", 1050},  {"X.XX", 0},     {"", 0},        {"  2.5abc", 2500}, {"-1.5", -1500},
      {"1.20,3.10", 1200}, {"99999999999", 2147483647},
  };
  for (const Case& c : cases) EXPECT_EQ(VersionValue(c.text), c.value) << c.text;
}

DeviceRecord Versions(std::int32_t main, std::int32_t offered, std::int32_t second, std::int32_t secondOffered,
                      const char* firstFile = "") {
  DeviceRecord record;
  record.InstrumentVersion = main;
  record.OfferedVersion = offered;
  record.SecondVersion = second;
  record.SecondOfferedVersion = secondOffered;
  record.FirstFile = firstFile;
  return record;
}

TEST(DownloadMinutes, AddsUpByKindAndPairs) {
  struct Case {
    std::int32_t kind;
    DeviceRecord record;
    bool force;
    std::uint32_t minutes;
  };
  const Case cases[] = {
      {DK_ENTRY, Versions(1000, 1100, 0, 0), false, 2},
      {DK_ENTRY, Versions(1100, 1100, 0, 0), false, 0},  // equal pairs count as newer only with force
      {DK_ENTRY, Versions(1100, 1100, 5, 5), true, 3},
      {DK_BOOTLOADER, Versions(1200, 1100, 5, 0), false, 0},
      {DK_LONG, Versions(1200, 1100, 300, 400, "FIRSTFILE.MOT"), false, 53},
      {DK_ENTRY, Versions(1000, 1100, 5, 0, "ABC"), false, 2},
      {DK_ENTRY, Versions(1000, 1100, 5, 0, "ABCD"), false, 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DownloadMinutes(c.kind, c.record, c.force), c.minutes)
        << "kind " << c.kind << " main " << c.record.InstrumentVersion;
  }
}

TEST(AirPressure, RowsByTypeSerialAndVersion) {
  struct Case {
    const char* device;
    const char* serial;
    std::int32_t version;
    std::int32_t row;
  };
  const Case cases[] = {
      {"28101.000", "14120331", 1020, 1},  {"28101.000", "14111108", 102, 0},
      {"28154.000", "14201275", 200, 75},  {"28160.000", "14180233", 101, 25},
      {"28160.000", "14210045", 100, -1},  {"28101.000", "99999999", 1020, -10},
      {"28101.000", "0", 1020, -10},       {"28102.000", "14120331", 1020, -1},
      {"", "", 5000, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AirPressureRow(c.device, c.serial, c.version), c.row) << c.device << " " << c.serial;
  }
  EXPECT_FLOAT_EQ(AirPressureValue(0), 961.7f);
  EXPECT_FLOAT_EQ(AirPressureValue(1), 952.3f);
  EXPECT_FLOAT_EQ(AirPressureValue(48), 945.2f);
  EXPECT_FLOAT_EQ(AirPressureValue(kAirPressureDefault), 947.0f);
}

// Summer time must not shift the value.
std::tm LocalAt(int year, int month, int day, int hour, int minute, int second) {
  return testing::LocalTime(year, month, day, hour, minute, second, 1);
}

TEST(ClockCommand, SecondsAndDayForms) {
  EXPECT_EQ(ClockCommandText(true, LocalAt(2003, 1, 1, 0, 0, 10)).view(), "A.1600#86410\r\n");
  EXPECT_EQ(ClockCommandText(true, LocalAt(2002, 12, 1, 0, 0, 0)).view(), "A.1600#0\r\n");
  EXPECT_EQ(ClockCommandText(false, LocalAt(1900, 1, 1, 12, 0, 0)).view(), "A.1600#2.500000\r\n");
  EXPECT_EQ(ClockCommandText(false, LocalAt(2024, 3, 1, 6, 0, 0)).view(), "A.1600#45352.250000\r\n");
}

TEST(SearchTables, CommandsNamesAndProbes) {
  EXPECT_EQ(IdentifyCommandOf(1), "A.1000\r\n");
  for (int index : {0, 2, 3, 4}) EXPECT_EQ(IdentifyCommandOf(index), "A.1111\r\n");
  EXPECT_EQ(BaudName(0), "1200");
  EXPECT_EQ(BaudName(5), "38400");
  EXPECT_EQ(BaudName(6), "57600");
  EXPECT_EQ(BaudName(9), "256000");
  EXPECT_EQ(BaudName(10), "?");
  EXPECT_EQ(std::string(FirstProbeOf(0).bytes, 9), std::string("\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9));
  EXPECT_EQ(std::string(SecondProbeOf(0).bytes, 2), "\r\n");
  EXPECT_EQ(std::string(FirstProbeOf(1).bytes, 1), "\x80");
  EXPECT_EQ(std::string(SecondProbeOf(1).bytes, 4), std::string("\x85\x01\x00\x1A", 4));
  // The EMF boot loader is asked for its version, twice; the table's entry 4
  // stays the MSP430 loader's second probe.
  EXPECT_EQ(std::string(FirstProbeOf(4).bytes, FirstProbeOf(4).length), "\x04\r\nA.2051\r\n");
  EXPECT_EQ(std::string(SecondProbeOf(4).bytes, SecondProbeOf(4).length), "\x04\r\nA.2051\r\n");
  EXPECT_EQ(FirstProbeOf(7).length, 0);
}

}  // namespace
}  // namespace updater
