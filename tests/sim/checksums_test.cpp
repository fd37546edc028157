#include "sim/checksums.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes PasswordFrameBody(std::uint16_t resetVector) {
  Bytes body{0x80, 0x10, 0x24, 0x24};
  body.insert(body.end(), 34, 0xFF);
  body.push_back(static_cast<std::uint8_t>(resetVector));
  body.push_back(static_cast<std::uint8_t>(resetVector >> 8));
  return body;
}

struct KnownAnswer {
  const char* name;
  Bytes bytes;
  std::uint16_t (*sum)(std::span<const std::uint8_t>);
  std::uint16_t expected;
};

class ChecksumKnownAnswers : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(ChecksumKnownAnswers, MatchPublishedFrames) {
  EXPECT_EQ(GetParam().sum(GetParam().bytes), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Published, ChecksumKnownAnswers,
    ::testing::Values(
        KnownAnswer{"classic TX BSL version frame", {0x80, 0x1E, 0x04, 0x04, 0x58, 0x58, 0x58, 0x58},
                    &ClassicChecksum, 0xE57B},
        KnownAnswer{"classic password with reset vector 0x0C04", PasswordFrameBody(0x0C04), &ClassicChecksum, 0x38A0},
        KnownAnswer{"CRC-16-CCITT check value", {'1', '2', '3', '4', '5', '6', '7', '8', '9'}, &Crc16Ccitt, 0x29B1},
        KnownAnswer{"5xx TX BSL version core", {0x19}, &Crc16Ccitt, 0x62E8},
        KnownAnswer{"5xx descriptor read core", {0x18, 0x04, 0x1A, 0x00, 0x04, 0x00}, &Crc16Ccitt, 0x2F18}));

}  // namespace
}  // namespace sim
