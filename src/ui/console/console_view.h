#pragma once
// ConsoleView: the window as a terminal sees it.
//
// Log lines and message boxes (with their caption) go to the output in UTF-8,
// one line per line break. Questions are answered by the preset (--yes/--no),
// else asked on the terminal, else answered No. Progress (status panel 4 and
// the wait progress bar) is one line rewritten in place on a terminal, and a
// plain line now and then otherwise. Main thread only.
#include <chrono>
#include <istream>
#include <map>
#include <ostream>
#include <string>

#include "ui/console/console_options.h"
#include "updater/update_view.h"

namespace console {

struct ConsoleIo {
  std::ostream& out;
  std::istream& in;
  bool outIsTerminal = false;  ///< progress is rewritten in place
  bool inIsTerminal = false;   ///< questions can be asked
};

class ConsoleView final : public updater::UpdateView {
 public:
  /// `workDir` is where the dialog-text files of the languages are.
  ConsoleView(ConsoleIo io, Answers answers, std::string workDir = {})
      : io_(io), answers_(answers), workDir_(std::move(workDir)) {}

  /// Asks `question` on the terminal (presets do not apply); false without one.
  bool AskOnTerminal(std::string_view question);

  bool OkEnabled() const { return okEnabled_; }
  bool MenuEnabled(updater::MenuItem item) const;
  bool MenuVisible(updater::MenuItem item) const;
  bool WindowClosed() const { return closed_; }

  void AddLogLine(std::string_view text) override;
  void ClearLog() override {}
  void SetIdentityField(updater::IdentityField field, std::string_view text) override;
  void SetStatusPanel(int panel, std::string_view text) override;
  void AppendStatusPanel(int panel, std::string_view text) override;
  void RepaintStatusBar() override {}
  void SetProgress(int position) override;
  int Progress() const override { return progress_; }
  void SetProgressMax(int maximum) override { progressMax_ = maximum; }
  void ShowPanel(updater::Panel, bool) override {}
  void EnableOk(bool enabled) override { okEnabled_ = enabled; }
  void EnableMenuItem(updater::MenuItem item, bool enabled) override { enabled_[item] = enabled; }
  void ShowMenuItem(updater::MenuItem item, bool visible) override { visible_[item] = visible; }
  void CheckMenuItem(updater::MenuItem, bool) override {}
  void SetInfoLabel(std::string_view text, bool visible) override;
  void AddDownloadListItem(std::string_view) override {}
  updater::BoxAnswer MessageBox(std::string_view text, std::string_view caption, updater::BoxIcon icon,
                                updater::BoxButtons buttons) override;
  void SimpleMessage(std::string_view text) override { PrintLines(text); }
  /// The terminal bell, only when the output is a terminal.
  void Beep() override;
  void SetApplicationTitle(std::string_view) override {}
  /// Takes the identity labels from the dialog-text file, as the window does;
  /// the file is only read.
  void Translate(std::string_view dialogFile) override;
  bool OpenDocument(std::string_view path) override;
  void CloseWindow() override { closed_ = true; }

 private:
  std::string LabelOf(updater::IdentityField field) const;
  void PrintLines(std::string_view text, std::string_view prefix = {});
  void ClearProgressLine();
  void ShowProgress();
  std::string ProgressText() const;
  bool ReadYesNo();

  ConsoleIo io_;
  Answers answers_;
  std::string workDir_;
  std::map<updater::IdentityField, std::string> labels_;
  std::string panels_[kStatusPanels];
  int progress_ = 0;
  int progressMax_ = 0;
  bool progressShown_ = false;
  std::string lastProgressPrinted_;
  std::chrono::steady_clock::time_point lastProgressTime_{};
  bool okEnabled_ = true;
  bool closed_ = false;
  std::map<updater::MenuItem, bool> enabled_;
  std::map<updater::MenuItem, bool> visible_;
};

}  // namespace console
