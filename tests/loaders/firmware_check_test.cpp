// The check every file of a run gets before an instrument is asked to start a
// boot loader: the record formats, and each kind of file read the way the
// loader that sends it reads it, found whatever its letter case.
#include "loaders/firmware_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "loaders/emf_loader.h"
#include "loaders/record_file.h"

namespace loaders {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSRecords = "S00600004844521B\r\nS1050000AABB95\r\nS9030000FC\r\n";
constexpr const char* kIntelHex = ":020000040000FA\r\n:0200000011AA43\r\n:00000001FF\r\n";

struct RecordCase {
  const char* name;
  TiTxtResult (*check)(std::string_view);
  std::string text;
  TiTxtError error;
  int line;
};

TEST(RecordFile, WholeFilesPassAndEveryDamageIsFoundWithItsLine) {
  const RecordCase cases[] = {
      {"S-records", &CheckSRecords, kSRecords, TiTxtError::None, 0},
      {"S-records, DOS end mark", &CheckSRecords, std::string(kSRecords) + "\x1A", TiTxtError::None,
       0},
      {"S-record checksum", &CheckSRecords, "S1050000AABB96\r\nS9030000FC\r\n",
       TiTxtError::BadChecksum, 1},
      {"S-record count", &CheckSRecords, "S1060000AABB95\r\nS9030000FC\r\n", TiTxtError::BadRecord,
       1},
      {"S4 does not exist", &CheckSRecords, "S1050000AABB95\r\nS4030000FC\r\n",
       TiTxtError::BadRecord, 2},
      {"random bytes", &CheckSRecords, "\x93\x07zq\x01\r\n", TiTxtError::BadRecord, 1},
      {"S-records cut short", &CheckSRecords, "S00600004844521B\r\nS1050000AABB95\r\n",
       TiTxtError::NoEndRecord, 0},
      {"S-records without data", &CheckSRecords, "S00600004844521B\r\nS9030000FC\r\n",
       TiTxtError::NoData, 2},
      {"Intel HEX", &CheckIntelHex, kIntelHex, TiTxtError::None, 0},
      {"HEX checksum", &CheckIntelHex, ":0200000011AA44\r\n:00000001FF\r\n",
       TiTxtError::BadChecksum, 1},
      {"HEX type 06", &CheckIntelHex, ":00000006FA\r\n:00000001FF\r\n", TiTxtError::BadRecord, 1},
      {"HEX without colon", &CheckIntelHex, "0200000011AA43\r\n:00000001FF\r\n",
       TiTxtError::BadRecord, 1},
      {"HEX cut short", &CheckIntelHex, ":0200000011AA43\r\n", TiTxtError::NoEndRecord, 0},
  };
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TiTxtResult result = c.check(c.text);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.line, c.line);
  }
}

class FirmwareCheck : public ::testing::Test {
 protected:
  FirmwareCheck()
      : dir_(fs::temp_directory_path() / ("firmware_check_" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~FirmwareCheck() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  FileVerdict Check(const std::string& name, FirmwareKind kind) {
    return CheckFirmwareFiles(dir_.string(), {{name, kind}});
  }

  fs::path dir_;
};

struct KindCase {
  const char* name;
  FirmwareKind kind;
  std::string content;  ///< stored as "fw.dat"; the check asks for "FW.DAT"
  TiTxtError error;
};

// The file is stored in lower case and configured in upper case, as an
// installation copied from another file system has it.
TEST_F(FirmwareCheck, EachKindIsReadAsItsLoaderReadsItWhateverTheLetterCase) {
  const std::string tiTxt =
      test::Section(0x4000, test::Bytes(32)) + test::Section(0xFFF0, test::Bytes(16)) + "q\r\n";
  const KindCase cases[] = {
      {"classic TI-TXT", FirmwareKind::Classic, tiTxt, TiTxtError::None},
      {"5xx TI-TXT", FirmwareKind::Msp5xx, tiTxt, TiTxtError::None},
      {"TI-TXT cut at a line end", FirmwareKind::Classic, tiTxt.substr(0, tiTxt.find('q')),
       TiTxtError::NoEnd},
      {"TI-TXT of random bytes", FirmwareKind::Msp5xx, "\x93\x07z\x01\xff", TiTxtError::NoEnd},
      {"empty", FirmwareKind::Classic, "", TiTxtError::FileEmpty},
      {"EMF image", FirmwareKind::Emf, "\x93\x07z\x01\xff", TiTxtError::None},
      {"EMF image too large", FirmwareKind::Emf, std::string(T_EMFLoader::kImageBytes, 'x'),
       TiTxtError::FileTooLarge},
      {"terminal S-records", FirmwareKind::Terminal, kSRecords, TiTxtError::None},
      {"terminal file of random bytes", FirmwareKind::Terminal, "\x93\x07z\x01\xff",
       TiTxtError::BadRecord},
      {"Lab data", FirmwareKind::LabData, "any bytes", TiTxtError::None},
      {"WinCE file", FirmwareKind::WinCE, "MZ any bytes", TiTxtError::None},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    Write("fw.dat", c.content);
    const FileVerdict verdict = Check("FW.DAT", c.kind);
    EXPECT_EQ(verdict.error, c.error);
    EXPECT_EQ(verdict.name, c.error == TiTxtError::None ? "" : "FW.DAT");
  }
}

TEST_F(FirmwareCheck, ToolFilesAreReadByTheirNamesEnding) {
  Write("fw.hex", kSRecords);
  Write("fw.mot", kSRecords);
  Write("fw.a37", "anything");
  EXPECT_EQ(Check("FW.HEX", FirmwareKind::Tool).error, TiTxtError::BadRecord);
  EXPECT_EQ(Check("FW.MOT", FirmwareKind::Tool).error, TiTxtError::None);
  EXPECT_EQ(Check("FW.A37", FirmwareKind::Tool).error, TiTxtError::None);
}

TEST_F(FirmwareCheck, TheFirstFileThatFailsIsNamedAndAMissingPatchIsNoFault) {
  Write("good.mot", kSRecords);
  const FileVerdict verdict =
      CheckFirmwareFiles(dir_.string(), {{"Patch.TXT", FirmwareKind::BslPatch},
                                         {"GOOD.MOT", FirmwareKind::Tool},
                                         {"MISSING.MOT", FirmwareKind::Tool},
                                         {"ALSO-MISSING.MOT", FirmwareKind::Tool}});
  EXPECT_EQ(verdict.name, "MISSING.MOT");
  EXPECT_EQ(verdict.error, TiTxtError::FileMissing);
  Write("patch.txt", "@0220\r\n01 02\r\n");
  EXPECT_EQ(Check("Patch.TXT", FirmwareKind::BslPatch).error, TiTxtError::NoEnd);
  fs::create_directories(dir_ / "folder.mot");
  EXPECT_EQ(Check("FOLDER.MOT", FirmwareKind::Tool).error, TiTxtError::FileUnreadable);
}

}  // namespace
}  // namespace loaders
