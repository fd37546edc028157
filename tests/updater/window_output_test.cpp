// Placeholders, the progress report and the command log.
#include <gtest/gtest.h>

#include "scripted_view.h"
#include "updater/window_output.h"

namespace updater {
namespace {

struct PlaceholderCase {
  std::string text;
  PlaceholderValues values;
  std::string expected;
};

TEST(FormatText, ReplacesEachMarkerOnceWithoutRescanning) {
  const std::vector<PlaceholderCase> cases = {
      {"NAME", {"", "", kGerman, 0}, "Ger\xE4t"},
      {"NAME", {"", "", kEnglish, 0}, "device"},
      {"Disconnect from COM X.", {"", "Multi", kEnglish, 12}, "Disconnect from COM 12."},
      {"COM X and COM X", {"", "", kEnglish, 3}, "COM 3 and COM 3"},
      {"NAME NAME", {"", "A NAME B", kEnglish, 0}, "A NAME B A NAME B"},
      {"DATEI", {"FW_NAME.TXT", "Meter", kGerman, 0}, "FW_Meter.TXT"},  // NAME in a file name is a marker too
      {"line\\rnext", {"", "", kGerman, 0}, "line\r\nnext"},
      {"DATEI!", {"", "", kGerman, 0}, "!"},
  };
  for (const PlaceholderCase& c : cases) EXPECT_EQ(FormatPlaceholders(c.text, c.values), c.expected) << c.text;
}

TEST(FormatText, StoredTextKeepsItsPlaceholders) {
  testing::ScriptedView view;
  DeviceRecord record;
  TWindowOutput output(view, record);
  const std::string stored = "Trennen Sie das NAME von COM X";
  output.SetFoundComNumber(3);
  output.Log(stored);
  record.DeviceName = "Oxi";
  output.SetFoundComNumber(4);
  output.Log(stored);
  EXPECT_EQ(view.log, (std::vector<std::string>{"Trennen Sie das Ger\xE4t von COM 3", "Trennen Sie das Oxi von COM 4"}));
}

struct ProgressCase {
  float percent;
  std::string text;
  std::string panel4;
  std::string title;
};

TEST(ReportProgress, PercentTextPanelAndTitle) {
  const std::vector<ProgressCase> cases = {
      {45.0f, " 45.0 %", "Flash 45.0 %", "Update [ 45.0 %]"},
      {150.0f, " 100.0 %", "Flash 100.0 %", "Update [ 100.0 %]"},
      {0.0f, " 0.0 %", "Flash 0.0 %", "Update [ 0.0 %]"},
      {-1.0f, " -1.0 %", "", "Update"},
      {-1000.0f, " -1000.0 %", "Update [beendet]", "Update [beendet]"},
      {-500.0f, " -500.0 %", "Flash -500.0 %", "Update [ -500.0 %]"},
  };
  for (const ProgressCase& c : cases) {
    testing::ScriptedView view;
    DeviceRecord record;
    TWindowOutput output(view, record);
    EXPECT_EQ(output.ReportProgress("Flash", c.percent), c.text) << c.percent;
    EXPECT_EQ(view.panels[4], c.panel4) << c.percent;
    EXPECT_EQ(view.title, c.title) << c.percent;
  }
}

TEST(ReportProgress, FinishTextFollowsTheLanguage) {
  testing::ScriptedView view;
  DeviceRecord record;
  TWindowOutput output(view, record);
  output.SetLanguage(kEnglish);
  output.ReportProgress("", -1000.0f);
  EXPECT_EQ(view.title, "Update [ready]");
}

TEST(LogCommand, AppearsOnlyInDebugMode) {
  testing::ScriptedView view;
  DeviceRecord record;
  TWindowOutput output(view, record);
  output.LogCommand("A.1000\r\n");
  EXPECT_TRUE(view.log.empty());
  output.SetDebugMode(true);
  output.LogCommand("I.20#NAME <-");
  EXPECT_EQ(view.log, (std::vector<std::string>{"I.20#Ger\xE4t <-"}));
}

TEST(ClearIdentity, EmptiesAllFourFields) {
  testing::ScriptedView view;
  DeviceRecord record;
  TWindowOutput(view, record).ClearIdentity();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"identity 0: ", "identity 1: ", "identity 2: ", "identity 3: "}));
}

}  // namespace
}  // namespace updater
