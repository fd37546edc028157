// The platform's case-insensitive files, line splitting and environment.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/environment.h"
#include "platform/files.h"
#include "temp_installation.h"

namespace platform {
namespace {

using updater::testing::TempInstallation;

TEST(Files, NamesAreFoundInAnyLetterCaseAndWithBackslashes) {
  TempInstallation dir;
  dir.Write("ProgFile.txt", "x");
  dir.Write("Data/Lab1.Dat", "y");
  EXPECT_EQ(ResolveCaseless(dir.Path(), "PROGFILE.TXT"), dir / "ProgFile.txt");
  EXPECT_EQ(ResolveCaseless(dir.Path(), "DATA\\lab1.dat"), dir / "Data/Lab1.Dat");
  // A missing name keeps its spelling, so that a new file is created there.
  EXPECT_EQ(ResolveCaseless(dir.Path(), "data\\New.txt"), dir / "Data/New.txt");
  EXPECT_EQ(ResolveCaseless(dir.Path(), "Missing\\X.txt"), dir / "Missing/X.txt");
}

TEST(Files, ListingMatchesMasksCaseInsensitivelyInsideFolders) {
  TempInstallation dir;
  for (const char* name : {"B.MOT", "a.mot", "c.txt", "Data/one", "Data/two.bin", "Data/.hidden"}) dir.Write(name, "");
  EXPECT_EQ(ListFiles(dir.Path(), "*.MOT"), (std::vector<std::string>{"a.mot", "B.MOT"}));
  EXPECT_EQ(ListFiles(dir.Path(), "DATA\\*.*"), (std::vector<std::string>{"one", "two.bin"}));
  EXPECT_TRUE(ListFiles(dir.Path(), "nowhere\\*.*").empty());
}

TEST(Files, LinesEndAtCrLfLfOrCr) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"", {}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines) << text;
}

TEST(Files, WrittenLinesEndWithCrLf) {
  TempInstallation dir;
  ASSERT_TRUE(WriteTextLines(dir / "out.ini", {"Language=1", "Com="}));
  EXPECT_EQ(dir.Read("out.ini"), "Language=1\r\nCom=\r\n");
  EXPECT_FALSE(WriteTextLines(dir / "no/such/folder/out.ini", {"x"}));
}

TEST(Environment, SetVariablesAreExpandedOthersStay) {
  ::setenv("UPDATER_TEST_VAR", "/opt/x", 1);
  ::unsetenv("UPDATER_TEST_UNSET");
  EXPECT_EQ(ExpandEnvironment("%UPDATER_TEST_VAR%\\sub"), "/opt/x\\sub");
  EXPECT_EQ(ExpandEnvironment("%UPDATER_TEST_UNSET%"), "%UPDATER_TEST_UNSET%");
  EXPECT_EQ(ExpandEnvironment("50%%UPDATER_TEST_VAR%"), "50%/opt/x");
  ::unsetenv("UPDATER_TEST_VAR");
}

}  // namespace
}  // namespace platform
