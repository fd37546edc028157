// Update.ini, ProgDevice.ini, the configuration directory and the catalogue.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/files.h"
#include "temp_installation.h"
#include "updater/config_directory.h"
#include "updater/device_profiles.h"
#include "updater/firmware_catalogue.h"
#include "updater/update_settings.h"

namespace updater {
namespace {

using testing::TempInstallation;

struct SettingsCase {
  ConfigLines lines;
  std::int32_t language;
  std::vector<std::int32_t> baud;
  bool fixedPort;
  std::int32_t fixedIndex;
  bool languageInvalid;
};

TEST(UpdateSettings, KeysAndValuesAsTheToolReadsThem) {
  const std::vector<SettingsCase> cases = {
      {{"Language=1"}, 1, {2, 3, 4, 1, 0}, false, 0, false},
      {{"Language=0", "Baud=3"}, 0, {3}, false, 0, false},
      {{"Language=0", "Baud=3,4,,"}, 0, {3, 4, 0, 0}, false, 0, false},
      {{"Language=0", "Baud= 7 ,9"}, 0, {7, 9}, false, 0, false},
      {{"Language=0", "Com=4"}, 0, {2, 3, 4, 1, 0}, true, 3, false},
      {{"[Update]", "; comment", "language=1"}, 1, {2, 3, 4, 1, 0}, false, 0, false},
      {{"Language =1"}, 0, {2, 3, 4, 1, 0}, false, 0, true},  // a blank before "=" is part of the key
      {{"Language=7"}, 0, {2, 3, 4, 1, 0}, false, 0, true},
      {{"Language=1", "Language=0"}, 1, {2, 3, 4, 1, 0}, false, 0, false},  // the first line wins
      {{"Language=0", "Baud=1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8"}, 0,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 6}, false, 0, false},
  };
  for (const SettingsCase& c : cases) {
    SettingsProblems problems;
    const UpdateSettings s = ParseUpdateSettings(c.lines, problems);
    const std::string where = c.lines.back();
    EXPECT_EQ(s.Language, c.language) << where;
    EXPECT_EQ(std::vector<std::int32_t>(s.Baud.begin(), s.Baud.begin() + s.BaudCount), c.baud) << where;
    EXPECT_EQ(s.FixedPort, c.fixedPort) << where;
    if (c.fixedPort) {
      EXPECT_EQ(s.FixedPortIndex, c.fixedIndex) << where;
    }
    EXPECT_EQ(problems.languageInvalid, c.languageInvalid) << where;
  }
}

TEST(UpdateSettings, UnusableBaudCodesAndPortsAreReported) {
  SettingsProblems problems;
  UpdateSettings s = ParseUpdateSettings({"Language=0", "Baud=3,12,-1,4", "Com=0"}, problems);
  EXPECT_EQ(std::vector<std::int32_t>(s.Baud.begin(), s.Baud.begin() + s.BaudCount), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(problems.droppedBaud, (std::vector<std::int32_t>{12, -1}));
  EXPECT_TRUE(problems.comInvalid);

  problems = {};
  s = ParseUpdateSettings({"Baud=99"}, problems);  // nothing usable left: the default list
  EXPECT_EQ(s.BaudCount, 5);
}

TEST(UpdateSettings, VersionIsCutTo255Characters) {
  SettingsProblems problems;
  const UpdateSettings s = ParseUpdateSettings({"Version=" + std::string(300, 'v')}, problems);
  EXPECT_EQ(s.Version.size(), 255u);
}

TEST(UpdateSettings, SavingTheLanguageKeepsExactlyTheFourKeyLines) {
  const ConfigLines file = {"; settings", "[Update]", "Language=0x", "Version=old", "Other=1", "Baud=3,4", "Com="};
  EXPECT_EQ(LanguageFileLines(file, 1, "2.5"),
            (ConfigLines{"Language=1x", "Version=2.5", "Baud=3,4", "Com="}));
  EXPECT_EQ(LanguageFileLines({}, 1, ""), (ConfigLines{"Language=1", "Version=", "Baud=", "Com="}));
}

// A device block of the 16 keys; `overrides` replaces values by key.
std::vector<std::string> DeviceBlock(std::map<std::string, std::string> overrides = {}) {
  std::map<std::string, std::string> values = {
      {"DevStartCmd", "1"},       {"DeviceNrDef", "22075"},     {"DeviceNr", "28101"},
      {"DeviceName", "Multi 770"}, {"ProgFile1", ""},           {"ProgFile2", "multi.mot"},
      {"ProgFile3", ""},          {"SWKenn1", "V"},             {"SWKenn2", ""},
      {"SWKenn3", ""},            {"BootLoadKenn", "BL1"},      {"FlashErase1", "0x10"},
      {"FlashErase2", "12"},      {"FlashErase3", ""},          {"ProgDefFile", "def.txt"},
      {"ProzTyp", "149"}};
  for (const auto& [key, value] : overrides) values[key] = value;
  std::vector<std::string> lines;
  for (const auto& [key, value] : values) lines.push_back(key + "=" + value);
  return lines;
}

ConfigLines Join(std::initializer_list<std::vector<std::string>> blocks) {
  ConfigLines lines;
  for (const auto& block : blocks) {
    lines.insert(lines.end(), block.begin(), block.end());
    lines.emplace_back();
  }
  return lines;
}

TEST(DeviceProfiles, StoresEachFieldByItsRule) {
  const DeviceProfiles p = ParseDeviceProfiles(Join({DeviceBlock({{"SWKenn1", "V\\r\\nXYZ"},
                                                                  {"ProzTyp", "5438"},
                                                                  {"DeviceNr", "1234"},
                                                                  {"DeviceNrDef", "123456"},
                                                                  {"ProgFile2", "Multi_\xE4.mot,data\\*.*"},
                                                                  {"DeviceName", std::string(40, 'n')}})}));
  ASSERT_EQ(p.Table.size(), 1u);
  const DeviceProfile& d = p.Table[0];
  EXPECT_EQ(d.SWKenn1, "V\r\n");
  EXPECT_EQ(d.ProzTyp, 0x5438);
  EXPECT_EQ(d.DeviceNr, "1234");
  EXPECT_EQ(d.DeviceNrDef, "123456");
  EXPECT_EQ(d.ProgFile2, "MULTI_\xE4.MOT,DATA\\*.*");  // only a..z are upper-cased
  EXPECT_EQ(d.ProgDefFile, "DEF.TXT");
  EXPECT_EQ(d.FlashErase1, "0x10");
  EXPECT_EQ(d.DeviceName.size(), 31u);

  const DeviceProfiles five = ParseDeviceProfiles(Join({DeviceBlock({{"DeviceNr", "12345"}})}));
  EXPECT_EQ(five.Table[0].DeviceNr, "12345.000");
  EXPECT_EQ(five.Table[0].DeviceNrDef, "22075.000");
}

TEST(DeviceProfiles, BlocksAreCutAtEmptyLinesOnly) {
  std::vector<std::string> tenLines = DeviceBlock();
  tenLines.resize(10);
  std::vector<std::string> withBlankLine = DeviceBlock({{"DeviceName", "second"}});
  withBlankLine.insert(withBlankLine.begin() + 3, "   ");  // blanks are not an empty line
  const DeviceProfiles p = ParseDeviceProfiles(Join({tenLines, withBlankLine, {"one", "two"}}));
  ASSERT_EQ(p.Table.size(), 1u);
  EXPECT_EQ(p.Table[0].DeviceName, "second");
}

TEST(DeviceProfiles, TheLastFourLineBlockGivesTheTexts) {
  const DeviceProfiles p = ParseDeviceProfiles(Join({
      {"StarttextD=Hallo NAME", "StarttextE=Hello", "AbbruchtextD=Abbruch", "AbbruchtextE=Abort"},
      DeviceBlock(),
  }));
  EXPECT_EQ(p.Starttext(0), "Hallo NAME");
  EXPECT_EQ(p.Abbruchtext(1), "Abort");

  const DeviceProfiles replaced = ParseDeviceProfiles(Join({
      {"StarttextD=Hallo", "StarttextE=Hello", "AbbruchtextD=Abbruch", "AbbruchtextE=Abort"},
      {"a=1", "b=2", "c=3", "d=4"},
  }));
  EXPECT_EQ(replaced.Starttext(0), "");
  EXPECT_EQ(replaced.Abbruchtext(1), "");
}

TEST(DeviceProfiles, StartCmdIndexComesFromTheLastDeviceBlock) {
  DeviceProfiles p = ParseDeviceProfiles(Join({DeviceBlock({{"DevStartCmd", "3"}}), DeviceBlock({{"DevStartCmd", "6"}})}));
  EXPECT_EQ(p.StartCmdIndex, 0);
  EXPECT_EQ(p.StartCmdIndexCopy, 0);
  EXPECT_FALSE(p.startCmdInvalid);

  p = ParseDeviceProfiles(Join({DeviceBlock({{"DevStartCmd", ""}})}));
  EXPECT_EQ(p.StartCmdIndex, 0);
  EXPECT_TRUE(p.startCmdInvalid);

  const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases = {
      {"1", 0}, {"2", 1}, {"5", 4}, {"6", 0}, {"7", 1}, {"9", 3}, {"0", std::nullopt}, {"x", std::nullopt}, {"", std::nullopt}};
  for (const auto& [text, index] : cases) EXPECT_EQ(StartCmdIndexOf(text), index) << text;
}

TEST(DeviceProfiles, FileTypeOfProfileZero) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"MULTI.MOT", FT_MOT}, {"A.TXT", FT_TXT}, {"A.EXE", FT_EXE}, {"A.HEX", FT_HEX},
      {"A.TXT,B.EXE", 3},    {"A.BIN", FT_MOT}};
  for (const auto& [value, type] : cases) EXPECT_EQ(FileTypeOf(value), type) << value;

  const DeviceProfiles p = ParseDeviceProfiles(Join({DeviceBlock({{"ProgFile2", "fw.txt"}}), DeviceBlock()}));
  EXPECT_EQ(p.FileType, FT_TXT);
}

TEST(DeviceProfiles, FindProgDefFileTakesTheFirstMatchingProcessor) {
  const DeviceProfiles p = ParseDeviceProfiles(Join({DeviceBlock({{"ProzTyp", "149"}, {"ProgDefFile", "first"}}),
                                                    DeviceBlock({{"ProzTyp", "0x5438"}, {"ProgDefFile", "second"}}),
                                                    DeviceBlock({{"ProzTyp", "5438"}, {"ProgDefFile", "third"}})}));
  EXPECT_STREQ(FindProgDefFile(p, 0x5438), "SECOND");
  EXPECT_EQ(FindProgDefFile(p, 1), nullptr);
}

class ConfigDirectoryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::unsetenv("ProgramFiles");
    ::unsetenv("PUBLIC");
  }
  TempInstallation dir_;
};

TEST_F(ConfigDirectoryTest, BelowProgramFilesTheSettingsLiveInThePublicMirror) {
  ::setenv("ProgramFiles", (dir_ / "programs").c_str(), 1);
  ::setenv("PUBLIC", (dir_ / "public").c_str(), 1);
  const std::string mirror = ConfigDirectory(dir_ / "programs/Updater/bin");
  EXPECT_EQ(mirror, dir_ / "public/Updater/bin");
  EXPECT_TRUE(std::filesystem::is_directory(mirror));

  EXPECT_EQ(ConfigDirectory(dir_ / "elsewhere"), "");
  ::unsetenv("PUBLIC");
  EXPECT_EQ(ConfigDirectory(dir_ / "programs/Updater"), "");
}

TEST_F(ConfigDirectoryTest, WithoutTheVariablesTheWorkingDirectoryIsUsed) {
  EXPECT_EQ(ConfigDirectory(dir_.Path()), "");
}

TEST(FirmwareCatalogue, MasksSkipRulesAndMenuStates) {
  TempInstallation dir;
  for (const char* name : {"a_other.mot", "Multi77.mot", "multi_EEP.mot", "version.mot", "Version.txt", "Lab.TXT",
                           ".hidden.mot", "tool.exe", "notes.doc", "ph.hex"}) {
    dir.Write(name, "x");
  }
  std::filesystem::create_directory(dir / "folder.mot");
  const DeviceProfiles profiles =
      ParseDeviceProfiles(Join({DeviceBlock({{"ProgFile2", "multi77.mot"}}), DeviceBlock({{"ProgFile2", ""}}),
                                DeviceBlock({{"ProgFile2", "ph.hex"}}), DeviceBlock({{"ProgFile2", "lab"}})}));
  const FileCatalogue c = BuildCatalogue(dir.Path(), profiles);

  std::vector<std::string> files;
  for (const auto& name : c.Files) files.emplace_back(name.view());
  EXPECT_EQ(files, (std::vector<std::string>{"A_OTHER.MOT", "MULTI77.MOT", "VERSION.MOT", "LAB.TXT", "TOOL.EXE",
                                             "PH.HEX"}));
  EXPECT_EQ(c.DownloadList, (std::vector<std::string>{"A_OTHER", "MULTI77", "VERSION", "LAB", "TOOL", "PH"}));
  EXPECT_TRUE(c.ProgrammingVisible);  // whichever .mot file comes first
  EXPECT_EQ(c.ModelEnabled, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_TRUE(c.LabEnabled);
  EXPECT_TRUE(c.Contains("lab.txt"));
  EXPECT_FALSE(c.Contains("MULTI_EEP.MOT"));
}

TEST(FirmwareCatalogue, KeepsAtMost160Names) {
  TempInstallation dir;
  for (int i = 0; i < 170; ++i) dir.Write("f" + std::to_string(1000 + i) + ".bin", "");
  EXPECT_EQ(BuildCatalogue(dir.Path(), DeviceProfiles{}).Files.size(), FileCatalogue::kMaxFiles);
}

}  // namespace
}  // namespace updater
