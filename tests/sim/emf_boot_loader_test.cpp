// The emf preset: the firmware's entry commands, the EMF boot loader's
// commands and its XMODEM-CRC reception, driven byte by byte as an updater
// would. Images are padded and closed by their trailer here, from the wire
// format, not by simulator code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/emf_image.h"
#include "sim_bench.h"
#include "xmodem_sender.h"

namespace sim::test {
namespace {

const Bytes kAckByte{kAck};
const Bytes kNakByte{kNak};

Bytes Firmware(const char* version, std::uint32_t codeSize = 0x600) {
  FirmwareImageSpec recipe;
  recipe.version = version;
  recipe.codeSize = codeSize;
  return BuildEmfImage(recipe);
}

std::string CrcReply(const Bytes& padded) {
  char text[32];
  std::snprintf(text, sizeof text, "I.1205#%04X\r\n",
                Crc16Xmodem(std::span(padded).first(padded.size() - 6)));
  return text;
}

constexpr platform::Tick kStartMs = 1000;  // the boot loader's start after its entry

class EmfBench : public Bench {
 public:
  explicit EmfBench(std::initializer_list<std::string_view> settings = {}, FaultPlan faults = {})
      : Bench(Preset("emf", settings), std::move(faults)) {}

  /// An entry command, then the time the boot loader takes to start.
  void Enter(std::string_view command, std::string_view answer) {
    ASSERT_EQ(Text(command), answer);
    RunFor(kStartMs);
  }

  /// Identification and entry at 115200 bit/s, up to the boot loader's version.
  void EnterBootLoader() {
    ASSERT_EQ(Text("A.1000\r\n"), "!\r\n");
    Enter("A.1250#7\r\n", "A.1250\r\n");
    ASSERT_EQ(Text("A.2051\r\n"), "I.251#1.05\r\n");
  }

  /// "u", then every block as long as each is acknowledged, then EOT.
  /// Returns the answer that ended it (ACK of the EOT on success).
  Bytes Transfer(const Bytes& padded) {
    if (Bytes c = Exchange("u"); c != Bytes{kCrcRequest}) return c;
    for (const Bytes& block : XmodemBlocks(padded)) {
      if (Bytes answer = Exchange(block); answer != kAckByte) return answer;
    }
    return Exchange(Bytes{kEot});
  }

  const EmfMemory& Memory() { return *Device().Emf(); }
};

TEST(EmfBootLoader, WholeUpdateLeavesTheImageAndStartsTheNewVersion) {
  EmfBench bench;
  EXPECT_EQ(bench.Device().Status().firmwareVersion, "1.00");
  bench.EnterBootLoader();
  const Bytes padded = PaddedEmfImage(Firmware("1.10", 0x8400));
  ASSERT_GT(XmodemBlocks(padded).size(), 256u) << "block numbers wrap";
  ASSERT_EQ(bench.Transfer(padded), kAckByte);
  EXPECT_EQ(bench.Text("c"), CrcReply(padded));
  EXPECT_EQ(bench.Text("r"), "");
  EXPECT_EQ(bench.RunFor(3000), ToBytes("Firmware 1.10\r\n!\r\n"));

  EXPECT_EQ(bench.Memory().received, padded);
  EXPECT_EQ(bench.Memory().flash, Bytes(padded.begin(), padded.end() - 6));
  const SimState& state = bench.Device().Status();
  EXPECT_TRUE(state.firmwareRunning);
  EXPECT_EQ(state.firmwareVersion, "1.10");
  EXPECT_EQ(state.counters.programs, padded.size() / kXmodemData);
  EXPECT_EQ(state.commands,
            (std::vector<std::string>{"A.1000", "A.1250#7", "A.2051", "u", "c", "r"}));
  EXPECT_EQ(bench.Text("A.2001\r\n"), "I.21#1.10\r\n");
}

struct EntryCase {
  const char* name;
  const char* preset;
  const char* command;
  const char* answer;
  bool bootLoader;
  std::uint32_t baud;  ///< where the instrument listens afterwards
};

class EmfEntry : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EmfEntry, AnswersAndSwitchesTheLine) {
  Bench bench(Bench::Preset(GetParam().preset));
  EXPECT_EQ(bench.Text(GetParam().command), GetParam().answer) << GetParam().name;
  EXPECT_EQ(!bench.Device().Status().firmwareRunning, GetParam().bootLoader) << GetParam().name;
  EXPECT_EQ(bench.Device().Line().baud, GetParam().baud) << GetParam().name;
  EXPECT_EQ(bench.Device().Line().stopBits, 2) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmfEntry,
    ::testing::Values(
        EntryCase{"digit 7: 115200", "emf", "A.1250#7\r\n", "A.1250\r\n", true, 115200},
        EntryCase{"digit 3: 9600", "emf", "A.1250#3\r\n", "A.1250\r\n", true, 9600},
        EntryCase{"component 1", "emf", "A.1255#7\r\n", "C.1255\r\n", true, 115200},
        EntryCase{"component 2 has no way in", "emf", "A.1256#7\r\n", "C.1256\r\n", false, 9600},
        EntryCase{"another digit", "emf", "A.1250#5\r\n", "?\r\n", false, 9600},
        EntryCase{"no digit", "emf", "A.1250\r\n", "?\r\n", false, 9600},
        EntryCase{"no EMF processor", "msp430-classic", "A.1250#7\r\n", "?\r\n", false, 9600}));

TEST(EmfBootLoader, ListensOnlyOnceStarted) {
  EmfBench bench;
  ASSERT_EQ(bench.Text("A.1250#7\r\n"), "A.1250\r\n");
  EXPECT_EQ(bench.Text("A.2051\r\n"), "") << "lost while it starts";
  bench.RunFor(kStartMs);
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n");
}

TEST(EmfBootLoader, FallbackEntryReachesTheLoaderAt9600) {
  EmfBench bench;
  ASSERT_EQ(bench.Text("A.1256#7\r\n"), "C.1256\r\n");
  bench.Enter("A.1250#3\r\n", "A.1250\r\n");
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n");
  EXPECT_EQ(bench.Device().Status().bootLoaderComponent, 0);
}

struct ConfirmationCase {
  const char* version;
  const char* sent;
  const char* answer;
};

class Confirmation : public ::testing::TestWithParam<ConfirmationCase> {};

TEST_P(Confirmation, SingleCharacterCommandsFromVersion106) {
  EmfBench bench({std::string("bootloader_version=") + GetParam().version});
  bench.Enter("A.1250#7\r\n", "A.1250\r\n");
  EXPECT_EQ(bench.Text("A.2051\r\n"), std::string("I.251#") + GetParam().version + "\r\n");
  EXPECT_EQ(bench.Text(GetParam().sent), GetParam().answer)
      << GetParam().version << " " << GetParam().sent;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Confirmation,
    ::testing::Values(ConfirmationCase{"1.05", "u", "C"}, ConfirmationCase{"1.059", "u", "C"},
                      ConfirmationCase{"1.06", "u", ""}, ConfirmationCase{"1.06", "u5836\r\n", "C"},
                      ConfirmationCase{"1.06,ABC", "u5836\r\n", "C"},
                      ConfirmationCase{"1.1", "u", ""}, ConfirmationCase{"1.06", "u5837\r\n", ""},
                      ConfirmationCase{"1.06", "u5837\r\nu5836\r\n", "C"},
                      ConfirmationCase{"1.06", "c5836\r\n", "?\r\n"}));

TEST(EmfBootLoader, ConfirmedUpdate) {
  EmfBench bench({"bootloader_version=1.06"});
  bench.Enter("A.1250#7\r\n", "A.1250\r\n");
  const Bytes padded = PaddedEmfImage(Firmware("1.20"));
  ASSERT_EQ(bench.Text("u5836\r\n"), "C");
  for (const Bytes& block : XmodemBlocks(padded)) ASSERT_EQ(bench.Exchange(block), kAckByte);
  ASSERT_EQ(bench.Exchange(Bytes{kEot}), kAckByte);
  EXPECT_EQ(bench.Text("c5836\r\n"), CrcReply(padded));
  EXPECT_EQ(bench.Text("r"), "") << "not started without its confirmation";
  EXPECT_EQ(bench.RunFor(5000), Bytes{});
  EXPECT_EQ(bench.Text("5836\r\n"), "");
  EXPECT_EQ(bench.RunFor(3000), ToBytes("Firmware 1.20\r\n!\r\n"));
}

// Trailers that a wrong padding or CRC range would produce: the boot loader
// reports the CRC it computed, but refuses to start the image.
struct TrailerCase {
  const char* name;
  void (*spoil)(Bytes& padded, std::size_t fileSize);
};

class SpoiltTrailer : public ::testing::TestWithParam<TrailerCase> {};

TEST_P(SpoiltTrailer, ImageIsNotStarted) {
  EmfBench bench;
  bench.EnterBootLoader();
  const Bytes file = Firmware("1.10", 0x300);
  Bytes padded = PaddedEmfImage(file);
  GetParam().spoil(padded, file.size());
  ASSERT_EQ(bench.Transfer(padded), kAckByte);
  EXPECT_EQ(bench.Text("c"), CrcReply(padded));
  bench.Text("r");
  EXPECT_EQ(bench.RunFor(3000), Bytes{}) << GetParam().name;
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Device().Status().firmwareVersion, "");
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n") << "back in its boot loader";
}

void SetLength(Bytes& padded, std::uint32_t length) {
  for (int i = 0; i < 4; ++i)
    padded[padded.size() - 6 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpoiltTrailer,
    ::testing::Values(TrailerCase{"length of the file",
                                  [](Bytes& p, std::size_t size) {
                                    SetLength(p, static_cast<std::uint32_t>(size));
                                  }},
                      TrailerCase{"length of the whole image",
                                  [](Bytes& p, std::size_t) {
                                    SetLength(p, static_cast<std::uint32_t>(p.size()));
                                  }},
                      TrailerCase{"CRC of the file only",
                                  [](Bytes& p, std::size_t size) {
                                    const std::uint16_t crc = Crc16Xmodem(std::span(p).first(size));
                                    p[p.size() - 2] = static_cast<std::uint8_t>(crc);
                                    p[p.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
                                  }},
                      TrailerCase{"CRC big-endian", [](Bytes& p, std::size_t) {
                                    std::swap(p[p.size() - 2], p[p.size() - 1]);
                                  }}));

// File sizes whose padding is short, long, a whole block, and one block only.
struct SizeCase {
  std::size_t fileSize;
  std::size_t blocks;
  std::size_t imageLength;  ///< file and padding: what the trailer covers
};

class ImageSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ImageSizes, TakenAndStarted) {
  // Header, code and the record of "1.10" make code + 36 bytes.
  const Bytes file = Firmware("1.10", static_cast<std::uint32_t>(GetParam().fileSize - 36));
  ASSERT_EQ(file.size(), GetParam().fileSize);
  const Bytes padded = PaddedEmfImage(file);
  ASSERT_EQ(XmodemBlocks(padded).size(), GetParam().blocks);
  EmfBench bench;
  bench.EnterBootLoader();
  ASSERT_EQ(bench.Transfer(padded), kAckByte);
  bench.Text("r");
  EXPECT_EQ(bench.RunFor(3000), ToBytes("Firmware 1.10\r\n!\r\n")) << GetParam().fileSize;
  EXPECT_EQ(bench.Memory().flash.size(), GetParam().imageLength);
}

INSTANTIATE_TEST_SUITE_P(Table, ImageSizes,
                         ::testing::Values(SizeCase{100, 1, 122}, SizeCase{250, 3, 378},
                                           SizeCase{300, 3, 378}, SizeCase{506, 5, 634}));

TEST(EmfBootLoader, RefusesWhatIsNotACommandOrBeforeATransfer) {
  EmfBench bench;
  bench.Enter("A.1250#7\r\n", "A.1250\r\n");
  EXPECT_EQ(bench.Text("c"), "?\r\n");
  EXPECT_EQ(bench.Text("A.1000\r\n"), "?\r\n");
  EXPECT_EQ(bench.Text("\r\n"), "");
}

TEST(EmfBootLoader, PowerLostDuringTransferLeavesItInTheBootLoader) {
  EmfBench bench;
  bench.EnterBootLoader();
  ASSERT_EQ(bench.Exchange("u"), Bytes{kCrcRequest});
  ASSERT_EQ(bench.Exchange(XmodemBlocks(PaddedEmfImage(Firmware("1.10")))[0]), kAckByte);
  bench.Device().PowerCycle(false);
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Device().Line().baud, 9600u);
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n");
}

// Like any XMODEM receiver it asks again every 3 s until the first block
// comes, and after a minute without one it cancels and takes commands again;
// the memory "u" erased stays erased.
TEST(EmfBootLoader, AsksAgainUntilABlockComesAndGivesUpAfterAMinute) {
  EmfBench bench;
  bench.EnterBootLoader();
  ASSERT_EQ(bench.Exchange("u"), Bytes{kCrcRequest});
  Bytes asked;
  for (int k = 0; k < 19; ++k) {
    const Bytes out = bench.RunFor(3000);
    asked.insert(asked.end(), out.begin(), out.end());
  }
  EXPECT_EQ(asked, Bytes(19, kCrcRequest));
  EXPECT_EQ(bench.RunFor(3000), (Bytes{kCan, kCan}));
  EXPECT_EQ(bench.RunFor(10000), Bytes{}) << "no longer receiving";
  EXPECT_EQ(bench.Text("c"), "?\r\n");
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n");
  ASSERT_EQ(bench.Exchange("u"), Bytes{kCrcRequest}) << "a new transfer can begin";
  const Bytes padded = PaddedEmfImage(Firmware("1.10"));
  ASSERT_EQ(bench.Exchange(XmodemBlocks(padded)[0]), kAckByte);
  EXPECT_EQ(bench.RunFor(10000), Bytes{}) << "no \"C\" once a block came";
}

// Noise in front of a block turns the whole block into noise; an EOT byte in
// its data is no end of the transfer. The NAK comes once the line is quiet.
TEST(EmfBootLoader, AnEotInDataBehindNoiseEndsNothing) {
  EmfBench bench;
  bench.EnterBootLoader();
  Bytes file = Firmware("1.10");
  std::fill(file.begin() + 16, file.begin() + 16 + 256, kEot);
  const Bytes padded = PaddedEmfImage(file);
  const std::vector<Bytes> blocks = XmodemBlocks(padded);
  ASSERT_EQ(bench.Exchange("u"), Bytes{kCrcRequest});
  ASSERT_EQ(bench.Exchange(blocks[0]), kAckByte);
  Bytes hit{0x55};
  hit.insert(hit.end(), blocks[1].begin(), blocks[1].end());
  EXPECT_EQ(bench.Exchange(hit), Bytes{});
  EXPECT_EQ(bench.RunFor(XmodemReceiver::kQuietMs), kNakByte);
  for (std::size_t k = 1; k < blocks.size(); ++k) ASSERT_EQ(bench.Exchange(blocks[k]), kAckByte);
  ASSERT_EQ(bench.Exchange(Bytes{kEot}), kAckByte);
  EXPECT_EQ(bench.Memory().received, padded);
}

TEST(EmfBootLoader, BlankInstrumentWaitsInItsBootLoader) {
  EmfBench bench({"blank=1"});
  EXPECT_FALSE(bench.Device().Status().firmwareRunning);
  EXPECT_EQ(bench.Device().Status().firmwareVersion, "");
  EXPECT_EQ(bench.Text("A.2051\r\n"), "I.251#1.05\r\n");
}

// Faults on the blocks, on EOT and on the CRC reply; each row says what the
// updater sees and what the instrument ends up with.
struct FaultCase {
  const char* name;
  const char* fault;
  Bytes endedWith;  ///< answer that ended Transfer() (ACK of the EOT when it ran through)
  bool crcMatches;  ///< the reply to "c" holds the image's CRC
};

class EmfFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EmfFaults, ShowOnTheLine) {
  FaultPlan faults;
  faults.Add(*ParseFault(GetParam().fault));
  EmfBench bench({}, std::move(faults));
  bench.EnterBootLoader();
  const Bytes padded = PaddedEmfImage(Firmware("1.10"));
  EXPECT_EQ(bench.Transfer(padded), GetParam().endedWith) << GetParam().name;
  if (GetParam().endedWith != kAckByte) return;
  EXPECT_EQ(bench.Text("c") == CrcReply(padded), GetParam().crcMatches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmfFaults,
    ::testing::Values(FaultCase{"block refused", "nak:xmodem@2", kNakByte, true},
                      FaultCase{"acknowledgement lost", "noack:xmodem@2", Bytes{}, true},
                      FaultCase{"noise for an acknowledgement", "garbage:xmodem@3", GarbageBytes(4),
                                true},
                      FaultCase{"cable pulled", "silence:xmodem@3", Bytes{}, true},
                      FaultCase{"cell keeps its old value", "corrupt:xmodem@2", kAckByte, false},
                      FaultCase{"EOT refused", "nak:eot", kNakByte, true},
                      FaultCase{"CRC reply wrong", "corrupt:crc-reply", kAckByte, false},
                      FaultCase{"CRC reply refused", "nak:crc-reply", kAckByte, false}));

TEST(EmfBootLoader, RepeatedBlocksAfterNakAndLostAckLeaveOneCopy) {
  FaultPlan faults;
  faults.Add(*ParseFault("nak:xmodem@2"));
  faults.Add(*ParseFault("noack:xmodem@4"));
  EmfBench bench({}, std::move(faults));
  bench.EnterBootLoader();
  const Bytes padded = PaddedEmfImage(Firmware("1.10"));
  const std::vector<Bytes> blocks = XmodemBlocks(padded);
  ASSERT_EQ(bench.Exchange("u"), Bytes{kCrcRequest});
  ASSERT_EQ(bench.Exchange(blocks[0]), kAckByte);
  ASSERT_EQ(bench.Exchange(blocks[1]), kNakByte);
  ASSERT_EQ(bench.Exchange(blocks[1]), kAckByte) << "sent again after the NAK";
  ASSERT_EQ(bench.Exchange(blocks[2]), Bytes{}) << "acknowledgement lost";
  ASSERT_EQ(bench.Exchange(blocks[2]), kAckByte) << "the repeat is a duplicate";
  for (std::size_t k = 3; k < blocks.size(); ++k) ASSERT_EQ(bench.Exchange(blocks[k]), kAckByte);
  ASSERT_EQ(bench.Exchange(Bytes{kEot}), kAckByte);
  EXPECT_EQ(bench.Memory().received, padded);
  EXPECT_EQ(bench.Text("c"), CrcReply(padded));
}

}  // namespace
}  // namespace sim::test
