#include "language/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace language {
namespace {

namespace fs = std::filesystem;

// A small window: caption, a label, a button with a hint, a control that is
// never translated, one of another class and a two-level menu.
DialogDescription SampleWindow() {
  DialogDescription d;
  d.name = "UpdateForm";
  d.caption = "Download :";
  d.controls.push_back({"NameLabel", ControlClass::Label, 0, "Name:", "", {}});
  d.controls.push_back({"OkBitBtn", ControlClass::BitBtn, 0, "OK", "Start", {}});
  d.controls.push_back({"Fixed", ControlClass::Label, -1, "fixed", "", {}});
  d.controls.push_back({"UpdateMemo", ControlClass::Other, 0, "log", "", {}});
  Control menu{"MainMenu1", ControlClass::MainMenu, 0, "", "", {}};
  menu.menu.items.push_back({"Sprache", "&Sprache", "", {{"Deutsch", "&Deutsch", "", {}}, {"Englisch", "&Englisch", "", {}}}});
  menu.menu.items.push_back({"Help", "&Hilfe", "", {}});
  d.controls.push_back(menu);
  return d;
}

class TLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A parameterised test's name holds a '/', which would leave its parent
    // directory behind.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = fs::temp_directory_path() / ("language_test_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    lang_.SetDirectory(dir_.string());
    lang_.SetDialogfile("Update.Eng");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& name) { return fs::exists(dir_ / name); }

  fs::path dir_;
  TLanguage lang_;
};

TEST_F(TLanguageTest, MissingFileIsCreatedWithAnEntryPerTextAndTheWindowKeepsItsTexts) {
  DialogDescription d = SampleWindow();
  EXPECT_TRUE(lang_.TranslateDialog(d));
  EXPECT_TRUE(lang_.CreateMode());

  const DialogDescription original = SampleWindow();
  EXPECT_EQ(d.caption, original.caption);
  EXPECT_EQ(d.controls[1].caption, "OK");
  EXPECT_EQ(d.controls[1].hint, "Start");
  EXPECT_EQ(d.controls[4].menu.items[0].items[1].caption, "&Englisch");

  EXPECT_EQ(ReadFile("Update.Eng"),
            "[UpdateForm]Download ::=\r\n"
            "[NameLabel]Name::=\r\n[Hint][NameLabel]:=\r\n"
            "[OkBitBtn]OK:=\r\n[Hint][OkBitBtn]Start:=\r\n"
            "[Sprache]&Sprache:=\r\n[Hint][Sprache]:=\r\n"
            "[Deutsch]&Deutsch:=\r\n[Hint][Deutsch]:=\r\n"
            "[Englisch]&Englisch:=\r\n[Hint][Englisch]:=\r\n"
            "[Help]&Hilfe:=\r\n[Hint][Help]:=\r\n");
}

// The file just written is read back the next time and, not yet translated,
// keeps every text (a multi-line one included) as it was.
TEST_F(TLanguageTest, WrittenFileIsReadOnTheNextTranslation) {
  DialogDescription first = SampleWindow();
  first.controls[0].caption = "Two\r\nLines";
  lang_.TranslateDialog(first);
  const std::string written = ReadFile("Update.Eng");

  DialogDescription second = SampleWindow();
  second.controls[0].caption = "Other";
  lang_.TranslateDialog(second);
  EXPECT_FALSE(lang_.CreateMode());
  EXPECT_EQ(second.controls[0].caption, "Two\r\nLines");
  EXPECT_EQ(second.controls[4].menu.items[1].caption, "&Hilfe");
  EXPECT_EQ(second.controls[1].hint, "Start");  // the recorded hint
  EXPECT_EQ(ReadFile("Update.Eng"), written);  // nothing appended, nothing duplicated
}

struct EntryCase {
  const char* line;
  const char* caption;
};

class EntryLookup : public TLanguageTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryLookup, SetsTheLabelCaption) {
  WriteFile("Update.Eng", std::string(GetParam().line) + "\r\n");
  DialogDescription d = SampleWindow();
  lang_.TranslateDialog(d);
  EXPECT_EQ(d.controls[0].caption, GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryLookup,
    ::testing::Values(EntryCase{"[NameLabel]=Name (device):", "Name (device):"},
                      EntryCase{"[NameLabel]Name::=", "Name:"},                  // untranslated: the source
                      EntryCase{"[NameLabel]Name::=Device name:", "Device name:"},
                      EntryCase{"[NameLabel]=", ""},                             // empty translation blanks
                      EntryCase{"[NameLabel]=First\\\\Second", "First\r\nSecond"},
                      EntryCase{"[Hint][NameLabel]tip:=Tip", "Name:"}));        // a hint is no caption

TEST_F(TLanguageTest, NameWithoutEntryIsAppendedAndTheFileWrittenBack) {
  WriteFile("Update.Eng", "[UpdateForm]=Download:\r\n[NameLabel]=Name:\r\n");
  DialogDescription d = SampleWindow();
  d.controls[0].caption = "Two\r\nLines";
  d.controls[0].name = "NewLabel";
  lang_.TranslateDialog(d);
  EXPECT_EQ(d.caption, "Download:");
  EXPECT_EQ(d.controls[0].caption, "Two\r\nLines");
  const std::string file = ReadFile("Update.Eng");
  EXPECT_NE(file.find("\r\n[NewLabel]Two\\\\Lines:=\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("[OkBitBtn]OK:=\r\n"), std::string::npos) << file;
  EXPECT_EQ(file.find("Fixed"), std::string::npos) << "a tag -1 control gets no entry";
  EXPECT_EQ(file.find("[Hint]"), std::string::npos) << "missing hints are not appended";
}

TEST_F(TLanguageTest, HintAndMenuEntriesAreTranslated) {
  WriteFile("Update.Eng",
            "[Hint][OkBitBtn]Start:=Begin the update\r\n[Sprache]=&Language\r\n[Englisch]=&English\r\n");
  DialogDescription d = SampleWindow();
  lang_.TranslateDialog(d);
  EXPECT_EQ(d.controls[1].hint, "Begin the update");
  EXPECT_EQ(d.controls[4].menu.items[0].caption, "&Language");
  EXPECT_EQ(d.controls[4].menu.items[0].items[1].caption, "&English");
}

TEST_F(TLanguageTest, DisabledComponentReadsChangesAndWritesNothing) {
  WriteFile("Update.Eng", "[NameLabel]=Name (en):\r\n");
  lang_.SetEnabled(false);
  DialogDescription d = SampleWindow();
  EXPECT_TRUE(lang_.TranslateDialog(d));
  EXPECT_EQ(d.controls[0].caption, "Name:");
  EXPECT_EQ(ReadFile("Update.Eng"), "[NameLabel]=Name (en):\r\n");
  lang_.SetDialogfile("Update.Deu");
  lang_.TranslateDialog(d);
  EXPECT_FALSE(Exists("Update.Deu"));
}

// Switching from a missing file to an existing one translates with the
// existing file and leaves it as it is.
TEST_F(TLanguageTest, LanguageSwitchAfterCreateModeTranslatesAndKeepsTheOtherFile) {
  const std::string english = "[UpdateForm]=Download:\r\n[NameLabel]=Name:\r\n[OkBitBtn]=OK\r\n"
                              "[Sprache]=&Language\r\n[Deutsch]=&German\r\n[Englisch]=&English\r\n[Help]=&Help\r\n";
  WriteFile("Update.Eng", english);
  lang_.SetDialogfile("Update.Deu");
  DialogDescription d = SampleWindow();
  lang_.TranslateDialog(d);
  ASSERT_TRUE(Exists("Update.Deu"));

  lang_.SetDialogfile("Update.Eng");
  lang_.TranslateDialog(d);
  EXPECT_FALSE(lang_.CreateMode());
  EXPECT_EQ(d.controls[4].menu.items[0].caption, "&Language");
  EXPECT_EQ(ReadFile("Update.Eng"), english);
}

TEST_F(TLanguageTest, Utf8FileIsReadAsWindows1252Text) {
  WriteFile("Update.Eng", "\xEF\xBB\xBF[NameLabel]=Ger\xC3\xA4t:\r\n");
  DialogDescription d = SampleWindow();
  lang_.TranslateDialog(d);
  EXPECT_EQ(d.controls[0].caption, "Ger\xE4t:");
}

TEST_F(TLanguageTest, UnwritableFileIsReportedAndTheTextsStayUsable) {
  lang_.SetDialogfile("no/such/folder/Update.Eng");
  DialogDescription d = SampleWindow();
  EXPECT_FALSE(lang_.TranslateDialog(d));
  EXPECT_EQ(d.controls[0].caption, "Name:");
}

}  // namespace
}  // namespace language
