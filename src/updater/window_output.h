#pragma once
// TWindowOutput: what the logic writes into the window besides the dialogs:
// log lines with placeholders, the command log of the debug mode, the progress
// report in status panel 4 and the title, and the identity display.
// Main thread only.
#include <string_view>

#include "core/fixed_text.h"
#include "updater/bilingual_text.h"
#include "updater/device_record.h"
#include "updater/run_log.h"
#include "updater/update_view.h"

namespace updater {

/// A log line after placeholder replacement; longer results are cut.
using LogText = core::FixedText<2048>;
/// " 45.0 %": a blank, the percent with one decimal, a blank and "%".
using PercentText = core::FixedText<24>;

/// What the placeholders stand for.
struct PlaceholderValues {
  std::string_view mainFile;    ///< DATEI
  std::string_view deviceName;  ///< NAME; empty gives "Geraet"/"device" by language
  int language = kGerman;
  int comNumber = 0;            ///< the X of "COM X"
};

/// Replaces every "DATEI", then every "NAME", then the X of every "COM X",
/// then every typed backslash-r (two characters) by CR LF. Text that a
/// replacement inserts is not searched again for the same marker.
LogText FormatPlaceholders(std::string_view text, const PlaceholderValues& values);

/// The percent text of ReportProgress, with "." as decimal point whatever the
/// locale. Values above 100 are shown as 100.
PercentText FormatPercent(float percent);

class TWindowOutput {
 public:
  TWindowOutput(UpdateView& view, const DeviceRecord& record) : view_(view), record_(record) {}

  void SetLanguage(int language) { language_ = language; }
  int Language() const { return language_; }
  /// The COM number that "COM X" shows (the found port).
  void SetFoundComNumber(int number) { foundCom_ = number; }
  int FoundComNumber() const { return foundCom_; }

  /// The text of the current language.
  template <std::size_t W>
  std::string_view Pick(const BiText<W>& text) const {
    return text.Pick(language_);
  }

  /// `text` with its placeholders replaced (the stored text stays as it is).
  LogText FormatText(std::string_view text) const;
  /// Adds `text` to the log area with its placeholders replaced.
  void Log(std::string_view text) { view_.AddLogLine(FormatText(text)); }
  /// In debug mode: adds `text` with its placeholders replaced; else nothing.
  void LogCommand(std::string_view text);

  /// The run log that sees the run's frames (null: none). It must outlive
  /// this object's use.
  void SetRunLog(RunLog* log) { runLog_ = log; }
  RunLog* Trace() const { return runLog_; }

  bool DebugMode() const { return debug_; }
  void SetDebugMode(bool on) { debug_ = on; }

  /// Shows a progress percentage: -1 resets the title to "Update" and empties
  /// panel 4; below -999 shows the end of the run ("Update [beendet]") in both;
  /// anything else (above 100 taken as 100) shows prefix + percent text in
  /// panel 4 and "Update [" + percent text + "]" as title. Returns the percent
  /// text.
  PercentText ReportProgress(std::string_view prefix, float percent);

  /// Empties the four identity fields.
  void ClearIdentity();

 private:
  UpdateView& view_;
  const DeviceRecord& record_;
  int language_ = kGerman;
  int foundCom_ = 0;
  bool debug_ = false;
  RunLog* runLog_ = nullptr;
};

}  // namespace updater
