// The MSP430 boot loaders answer a program or erase command only once the
// flash has done it, on the logical clock. The times are the data sheets'
// worst case, worked out here from their figures.
#include <gtest/gtest.h>

#include "sim_bench.h"

namespace sim::test {
namespace {

Bytes ClassicPassword() {
  Bytes password(30, 0xFF);
  password.insert(password.end(), {0x00, 0x40});  // reset vector 0x4000
  return password;
}

Bytes Password5xx() {
  Bytes core{0x11};
  core.insert(core.end(), 28, 0xFF);
  core.insert(core.end(), {0x10, 0x5C, 0x10, 0x5C});  // start word and reset vector 0x5C10
  return Frame5xx(core);
}

Bytes Program5xx(std::uint32_t address, std::size_t count) {
  Bytes core{0x10, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
             static_cast<std::uint8_t>(address >> 16)};
  core.insert(core.end(), count, 0x5A);
  return Frame5xx(core);
}

struct FlashCase {
  const char* name;
  bool classic;           // classic frames need a sync each
  Bytes command;
  std::uint64_t micros;   // what the flash needs; the answer leaves within the next millisecond
};

class FlashTimingTest : public ::testing::TestWithParam<FlashCase> {};

TEST_P(FlashTimingTest, AnswerLeavesOnceTheFlashIsDone) {
  const FlashCase& c = GetParam();
  Bench bench(Bench::Preset(c.classic ? "msp430-classic" : "msp430-5xx", {"running=bootloader"}));
  auto send = [&](const Bytes& frame) { return c.classic ? bench.ClassicCommand(frame) : bench.Exchange(frame); };
  ASSERT_FALSE(send(c.classic ? ClassicFrame(0x10, 0, 0, ClassicPassword()) : Password5xx()).empty());
  const platform::Tick start = bench.Clock().Now();
  EXPECT_FALSE(send(c.command).empty());  // Drain() runs the clock to the last answer
  const std::uint64_t elapsedMicros = std::uint64_t{bench.Clock().Now() - start} * 1000;
  EXPECT_GE(elapsedMicros, c.micros);
  EXPECT_LT(elapsedMicros, c.micros + 1000);
  EXPECT_EQ(bench.Device().Status().counters.flashMicros, c.micros);
}

// MSP430F1611 at the slowest flash timing generator (257 kHz): a word takes
// 35 cycles, a segment erase 4819; the boot loader repeats the mass erase
// (5297 cycles) until 200 ms have passed. MSP430F5438: at most 85 us a word
// or byte and 32 ms an erase.
INSTANTIATE_TEST_SUITE_P(
    BootLoaders, FlashTimingTest,
    ::testing::Values(
        FlashCase{"ClassicSegmentErase", true, ClassicFrame(0x16, 0x4000, 0xA502), 18'751},
        FlashCase{"ClassicMassErase", true, ClassicFrame(0x18, 0x4000, 0xA506), 10 * 20'611},
        FlashCase{"Classic240Bytes", true, ClassicFrame(0x12, 0x4000, 240, Bytes(240, 0x5A)), 120 * 137},
        FlashCase{"ClassicRamCostsNothing", true, ClassicFrame(0x12, 0x2000, 240, Bytes(240, 0x5A)), 0},
        FlashCase{"FiveSegmentErase", false, Frame5xx({0x12, 0x00, 0x5E, 0x00}), 32'000},
        FlashCase{"FiveMassErase", false, Frame5xx({0x15}), 32'000},
        FlashCase{"Five256Bytes", false, Program5xx(0x5E00, 256), 128 * 85},
        FlashCase{"FiveOddStartAndEndTakeBytes", false, Program5xx(0x5E01, 4), 3 * 85}),
    [](const ::testing::TestParamInfo<FlashCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sim::test
