// The EMF boot loader's text commands and the reading of its replies.
#include "loaders/emf_commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace loaders::emf {
namespace {

TEST(EmfCommands, EntryCommandAndRateByComponentAndMark) {
  const struct {
    int component;
    bool keepsRate;
    const char* entry;
    const char* suffix;
    serial::BaudTag rate;
  } cases[] = {
      {0, false, "A.1250#", "7\r\n", serial::kBaud115200},
      {0, true, "A.1250#", "3\r\n", serial::B__9600},
      {1, false, "A.1255#", "7\r\n", serial::kBaud115200},
      {2, true, "A.1256#", "3\r\n", serial::B__9600},
      {-1, false, "A.1250#", "7\r\n", serial::kBaud115200},
      {7, false, "A.1256#", "7\r\n", serial::kBaud115200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.component);
    EXPECT_STREQ(EntryCommand(c.component), c.entry);
    EXPECT_EQ(BootLoaderRate(c.keepsRate), c.rate);
    EXPECT_EQ(RateSuffix(BootLoaderRate(c.keepsRate)).view(), c.suffix);
  }
}

TEST(EmfCommands, ConfirmationFromVersion106On) {
  const struct {
    const char* text;
    bool confirmation;
  } cases[] = {
      {"1.06,ABC", true}, {"1.06", true},   {"1.05", false}, {"1.059", false},
      {"1.1", true},      {"2.00", true},   {" 1.07", true}, {"0.99", false},
      {"", false},        {"V1.07", false}, {"1,06", false},  // a decimal comma is no decimal point
  };
  for (const auto& c : cases) EXPECT_EQ(WantsConfirmation(c.text), c.confirmation) << c.text;
}

TEST(EmfCommands, BootLoaderVersionNoteEndsAtTheFirstComma) {
  EXPECT_EQ(BootLoaderVersionNote("1.06,ABC").view(), "   [BLV: 1.06]");
  EXPECT_EQ(BootLoaderVersionNote("1.05").view(), "   [BLV: 1.05]");
  EXPECT_EQ(BootLoaderVersionNote("").view(), "   [BLV: ]");
  EXPECT_EQ(BootLoaderVersionNote(std::string(100, '9')).view().size(), 47u);
}

TEST(EmfCommands, CrcReplyIsHexadecimal) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> crc;
  } cases[] = {
      {"31C3", 0x31C3},     {"31c3", 0x31C3},
      {" 0x31C3", 0x31C3},  {"0031C3\r", 0x31C3},
      {"31C3,OK", 0x31C3},  {"0", 0},
      {"", std::nullopt},   {"XYZ", std::nullopt},
      {"-1", std::nullopt}, {"1FFFFFFFF", std::nullopt},  // too large for 32 bits
      {"131C3", 0x131C3},                                 // read whole: never taken for 0x31C3
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCrcReply(c.text), c.crc) << c.text;
}

}  // namespace
}  // namespace loaders::emf
