// T_EMFLoader's conversation against a scripted instrument: the entry, the
// line switch, the boot loader's version, the transfer and the check, judged
// by what the boot loader received and whether it was told to run it.
#include "loaders/emf_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "loader_services.h"
#include "loaders/loader_texts.h"
#include "loaders/session_texts.h"
#include "platform/clock.h"
#include "scripted_emf_line.h"

namespace loaders {
namespace {

std::vector<std::uint8_t> FileBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  return bytes;
}

/// The blocks carried the file, 1 to 128 bytes 0xFF and the trailer (image
/// length and CRC, little-endian), computed here apart from the loader.
::testing::AssertionResult ReceivedPaddedImage(const std::vector<std::uint8_t>& got,
                                               const std::vector<std::uint8_t>& file) {
  if (got.size() % 128 != 0 || got.size() < file.size() + 7 || got.size() > file.size() + 134) {
    return ::testing::AssertionFailure()
           << "received " << got.size() << " bytes for a file of " << file.size();
  }
  if (!std::equal(file.begin(), file.end(), got.begin()))
    return ::testing::AssertionFailure() << "file differs";
  const std::size_t length = got.size() - 6;
  if (std::any_of(got.begin() + static_cast<std::ptrdiff_t>(file.size()),
                  got.begin() + static_cast<std::ptrdiff_t>(length),
                  [](std::uint8_t b) { return b != 0xFF; })) {
    return ::testing::AssertionFailure() << "padding is not 0xFF";
  }
  const std::uint32_t trailerLength =
      got[length] | got[length + 1] << 8 | got[length + 2] << 16 | got[length + 3] << 24;
  const std::uint16_t trailerCrc =
      static_cast<std::uint16_t>(got[length + 4] | got[length + 5] << 8);
  if (trailerLength != length)
    return ::testing::AssertionFailure() << "trailer length " << trailerLength;
  if (trailerCrc != test::ScriptedEmfLine::Crc(got.data(), length)) {
    return ::testing::AssertionFailure() << "trailer CRC " << trailerCrc;
  }
  return ::testing::AssertionSuccess();
}

class EmfLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/loaders-emf-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    services_.record.InstrumentVersionText = "3.10";
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  std::vector<std::uint8_t> WriteFile(const std::string& name, std::size_t size) {
    const std::vector<std::uint8_t> bytes = FileBytes(size);
    std::ofstream(dir_ + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    return bytes;
  }

  int Program(int component, const std::string& file) {
    T_EMFLoader loader(services_.Context(line_, dir_));
    return loader.Program(EmfArgs{component, file.c_str(), false});
  }

  std::string NotAvailable() const { return std::string(StepErrorText(kStepNotAvailable, 1)); }

  std::string dir_;
  test::LoaderServices services_{test::FastLoaderClock()};
  test::ScriptedEmfLine line_{services_.Events()};
};

// --- a whole conversation, by component, marks and boot-loader version ---------------

struct Conversation {
  const char* name;
  int component = 0;
  bool withoutSensor = false;  // DeviceRecord flag B
  bool marked = false;         // flag C: the boot loader keeps 9600 bit/s
  const char* version = "1.05";
  bool confirmation = false;
  std::int32_t startCmdIndex = 0;
  std::size_t fileSize = 1000;
  std::vector<std::string> entry;  // text lines up to "A.2051"
  std::vector<std::string> lines;  // the loader's line settings
  const char* lineAfter = "4800 8N1";
};

class EmfConversation : public EmfLoaderTest, public ::testing::WithParamInterface<Conversation> {};

// Sees what the loader passes on (it subscribed later, so it comes first).
core::TEventRecord CountStarts(void* count, core::TEvents&, core::TEventRecord event) {
  if (event.Kind == core::EVT_CMD && event.Code == updater::CMD_START) ++*static_cast<int*>(count);
  return event;
}

TEST_P(EmfConversation, ProgramsAndStartsTheImage) {
  const Conversation& c = GetParam();
  const std::vector<std::uint8_t> file = WriteFile("FW.BIN", c.fileSize);
  services_.record.SetWithoutSensor(c.withoutSensor);
  services_.record.SetKeepsBootLoaderRate(0, c.marked);
  services_.startCmdIndex = c.startCmdIndex;
  line_.version = c.version;
  line_.confirmation = c.confirmation;
  line_.pressOkDuringTransfer = true;
  int starts = 0;
  services_.Events().Subscribe(&CountStarts, &starts);

  EXPECT_EQ(Program(c.component, "FW.BIN"), 1);

  const std::string confirm = c.confirmation ? "5836\r\n" : "";
  std::vector<std::string> commands = c.entry;
  commands.insert(commands.end(), {"A.2051\r\n", "u" + confirm, "c" + confirm, "r" + confirm});
  EXPECT_EQ(line_.commands, commands);
  EXPECT_EQ(line_.lines, c.lines);
  EXPECT_EQ(line_.line, c.lineAfter);
  EXPECT_EQ(line_.violations, 0);
  EXPECT_TRUE(ReceivedPaddedImage(line_.received, file));
  EXPECT_TRUE(line_.started);
  EXPECT_TRUE(services_.view.boxes.empty()) << services_.view.boxes.front();
  EXPECT_EQ(services_.view.versionField,
            "3.10   [BLV: " + std::string(c.version).substr(0, 4) + "]");
  EXPECT_EQ(services_.view.title, "Update");
  EXPECT_EQ(services_.view.progress, 0);
  EXPECT_EQ(starts, 0) << "OK started a run during the transfer";
  services_.Events().Unsubscribe(&CountStarts, &starts);
}

const Conversation kConversations[] = {
    // 313 blocks: block numbers wrap after 255.
    {.name = "Instrument",
     .fileSize = 40000,
     .entry = {"A.1000\r\n", "A.1250#7\r\n"},
     .lines = {"115200 8N2"}},
    {.name = "MarkedFirmwareAt9600",
     .marked = true,
     .entry = {"A.1000\r\n", "A.1250#3\r\n"},
     .lines = {"9600 8N2"}},
    {.name = "Component1",
     .component = 1,
     .entry = {"A.1000\r\n", "A.1255#7\r\n"},
     .lines = {"115200 8N2"}},
    {.name = "WithoutSensorOnlyForComponent1",
     .withoutSensor = true,
     .entry = {"A.1000\r\n", "A.1250#7\r\n"},
     .lines = {"115200 8N2"}},
    // The component's entry is answered, then the instrument's own entry at
    // 9600 bit/s starts the boot loader; the line follows the rate announced last.
    {.name = "Component1WithoutSensorFallsBack",
     .component = 1,
     .withoutSensor = true,
     .entry = {"A.1000\r\n", "A.1256#7\r\n", "A.1250#3\r\n"},
     .lines = {"9600 8N2", "9600 8N2"}},
    {.name = "Component2FallsBack",
     .component = 2,
     .marked = true,
     .entry = {"A.1000\r\n", "A.1256#3\r\n", "A.1250#3\r\n"},
     .lines = {"9600 8N2", "9600 8N2"}},
    {.name = "ConfirmationFrom106",
     .version = "1.06,ABC",
     .confirmation = true,
     .entry = {"A.1000\r\n", "A.1250#7\r\n"},
     .lines = {"115200 8N2"}},
    {.name = "StartCmdIndex2LeavesTheLineAt9600",
     .startCmdIndex = 2,
     .entry = {"A.1000\r\n", "A.1250#7\r\n"},
     .lines = {"115200 8N2", "9600 8N2"},
     .lineAfter = "9600 8N2"},
    // 250 + 6 bytes fill two blocks: the padding is a whole third block.
    {.name = "PaddingOfAWholeBlock",
     .fileSize = 250,
     .entry = {"A.1000\r\n", "A.1250#7\r\n"},
     .lines = {"115200 8N2"}},
};

INSTANTIATE_TEST_SUITE_P(EmfLoader, EmfConversation, ::testing::ValuesIn(kConversations),
                         [](const auto& info) { return std::string(info.param.name); });

// --- faults -------------------------------------------------------------------------

struct Fault {
  const char* name;
  std::map<int, int> naks = {};
  int eotNaks = 0;
  bool silentBootLoader = false;
  const char* crcReply = nullptr;  // reply 1205 instead of the right CRC
  int wrongCrcReplies = 99;        // how often crcReply comes
  bool crossingRequest = false;
  int lostAckOfBlock = 0;
  bool crcBeforeTransfer = false;
  int deadFromBlock = 0;
  bool programmed = false;
  int sendsOfBlock2 = 1;
};

class EmfFault : public EmfLoaderTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(EmfFault, EndsAsTheInstrumentAllows) {
  const Fault& f = GetParam();
  const std::vector<std::uint8_t> file = WriteFile("FW.BIN", 1000);
  line_.naks = f.naks;
  line_.eotNaks = f.eotNaks;
  line_.silentBootLoader = f.silentBootLoader;
  line_.wrongCrcReplies = f.crcReply ? f.wrongCrcReplies : 0;
  line_.crossingRequest = f.crossingRequest;
  line_.lostAckOfBlock = f.lostAckOfBlock;
  line_.crcReply = f.crcReply ? f.crcReply : "";
  line_.crcBeforeTransfer = f.crcBeforeTransfer;
  line_.deadFromBlock = f.deadFromBlock;
  const platform::Tick begin = test::FastLoaderClock().Now();

  const int result = Program(0, "FW.BIN");

  EXPECT_EQ(line_.violations, 0);
  EXPECT_EQ(line_.line, "4800 8N1");
  if (!f.crcBeforeTransfer && !f.silentBootLoader && f.deadFromBlock == 0) {
    EXPECT_EQ(line_.sends[2], f.sendsOfBlock2);
  }
  if (f.programmed) {
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(ReceivedPaddedImage(line_.received, file));
    EXPECT_TRUE(line_.started);
    EXPECT_TRUE(services_.view.boxes.empty());
    return;
  }
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(line_.started) << "the boot loader was told to run the image";
  const std::string message =
      f.deadFromBlock ? ConnectionLostText(line_.Describe(), 1) : NotAvailable();
  EXPECT_EQ(services_.view.boxes, std::vector<std::string>{message});
  if (f.crcReply) {
    // The whole image arrived; only the reply differs from its CRC.
    EXPECT_TRUE(ReceivedPaddedImage(line_.received, file));
    char right[8];
    std::snprintf(right, sizeof right, "%04X",
                  test::ScriptedEmfLine::Crc(line_.received.data(), line_.received.size() - 6));
    EXPECT_STRNE(right, f.crcReply);
  }
  if (f.silentBootLoader) {
    EXPECT_GE(test::FastLoaderClock().Now() - begin, static_cast<platform::Tick>(EmfSession::kWatchdogMs));
  }
}

const Fault kFaults[] = {
    {.name = "NineNaksRecovered", .naks = {{2, 9}}, .programmed = true, .sendsOfBlock2 = 10},
    // Ten refusals end the data phase; it runs again in place, from "u" on.
    {.name = "TenNaksInARowAreRetriedInPlace", .naks = {{2, 10}}, .programmed = true, .sendsOfBlock2 = 11},
    {.name = "RefusedInEveryDataPhaseFails", .naks = {{2, 30}}, .sendsOfBlock2 = 30},
    {.name = "EndOfTransmissionRefusedOnce", .eotNaks = 1, .programmed = true},
    {.name = "WrongCrcOnceIsRetriedInPlace", .crcReply = "1234", .wrongCrcReplies = 1, .programmed = true,
     .sendsOfBlock2 = 2},
    {.name = "WrongCrcInEveryDataPhaseFails", .crcReply = "1234", .sendsOfBlock2 = 3},
    {.name = "UnreadableCrcFails", .crcReply = "", .sendsOfBlock2 = 3},
    // The receiver's repeated "C" arrives after block 1 went out, before its ACK.
    {.name = "RequestCrossingBlock1", .crossingRequest = true, .programmed = true},
    // The block goes out again after the time-out; the receiver drops the copy.
    {.name = "LostAcknowledgementIsSentAgain", .lostAckOfBlock = 2, .programmed = true, .sendsOfBlock2 = 2},
    {.name = "SilentBootLoaderFailsAfterTheWatchdog", .silentBootLoader = true},
    {.name = "CrcBeforeTheTransferFails", .crcBeforeTransfer = true},
    {.name = "LineGoneFailsAtOnce", .deadFromBlock = 3},
};

INSTANTIATE_TEST_SUITE_P(EmfLoader, EmfFault, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// --- files refused before anything is sent ------------------------------------------------

TEST_F(EmfLoaderTest, FilesThatCannotBeProgrammedAreRefusedBeforeAnythingIsSent) {
  WriteFile("EMPTY.BIN", 0);
  // 1,499,898 + 6 bytes are a multiple of 128: a whole block of padding
  // makes the image 1,500,032 bytes, beyond the buffer.
  WriteFile("LARGE.BIN", 1499898);
  ASSERT_EQ(::mkdir((dir_ + "/FOLDER.BIN").c_str(), 0755), 0);
  const struct {
    const char* file;
    TiTxtError error;
  } cases[] = {
      {"MISSING.BIN", TiTxtError::FileMissing},
      {"FOLDER.BIN", TiTxtError::FileUnreadable},
      {"EMPTY.BIN", TiTxtError::FileEmpty},
      {"LARGE.BIN", TiTxtError::FileTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    services_.view.boxes.clear();
    EXPECT_EQ(Program(0, c.file), 0);
    EXPECT_EQ(services_.view.boxes,
              std::vector<std::string>{FileErrorMessage(c.error, c.file, 0, 1).c_str()});
  }
  EXPECT_TRUE(line_.commands.empty());
  EXPECT_TRUE(line_.lines.empty());
}

TEST_F(EmfLoaderTest, TheLargestFileFillsTheBuffer) {
  // 1,499,897 + 1 byte of padding + 6 = 11718 blocks, 1,499,904 bytes.
  const std::vector<std::uint8_t> file = WriteFile("FULL.BIN", 1499897);
  EXPECT_EQ(Program(0, "FULL.BIN"), 1);
  EXPECT_EQ(line_.received.size(), 1499904u);
  EXPECT_TRUE(ReceivedPaddedImage(line_.received, file));
}

}  // namespace
}  // namespace loaders
