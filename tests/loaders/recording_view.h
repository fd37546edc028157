#pragma once
// An UpdateView that records what the loaders show: the log, the progress bar,
// the progress panel, beeps and the message boxes (answered with OK).
#include <string>
#include <vector>

#include "updater/update_view.h"

namespace loaders::test {

class RecordingView final : public updater::UpdateView {
 public:
  std::vector<std::string> boxes;
  std::vector<std::string> captions;  ///< of the boxes, in the same order
  std::vector<std::string> log;       ///< lines since the last ClearLog
  int logClears = 0;
  std::string progressPanel;          ///< status panel 4
  int progress = 0;
  int progressMax = 0;
  int highestProgress = 0;
  std::string title;
  std::string versionField;  ///< the software version the window shows
  int beeps = 0;

  void AddLogLine(std::string_view text) override { log.emplace_back(text); }
  void ClearLog() override {
    log.clear();
    ++logClears;
  }
  void SetIdentityField(updater::IdentityField field, std::string_view text) override {
    if (field == updater::IdentityField::Version) versionField = text;
  }
  void SetStatusPanel(int panel, std::string_view text) override {
    if (panel == 4) progressPanel = text;
  }
  void AppendStatusPanel(int, std::string_view) override {}
  void RepaintStatusBar() override {}
  void SetProgress(int position) override {
    progress = position;
    highestProgress = std::max(highestProgress, position);
  }
  int Progress() const override { return progress; }
  void SetProgressMax(int maximum) override { progressMax = maximum; }
  void ShowPanel(updater::Panel, bool) override {}
  void EnableOk(bool) override {}
  void EnableMenuItem(updater::MenuItem, bool) override {}
  void ShowMenuItem(updater::MenuItem, bool) override {}
  void CheckMenuItem(updater::MenuItem, bool) override {}
  void SetInfoLabel(std::string_view, bool) override {}
  void AddDownloadListItem(std::string_view) override {}
  updater::BoxAnswer MessageBox(std::string_view text, std::string_view caption, updater::BoxIcon,
                                updater::BoxButtons) override {
    boxes.emplace_back(text);
    captions.emplace_back(caption);
    return updater::BoxAnswer::Ok;
  }
  void SimpleMessage(std::string_view text) override { boxes.emplace_back(text); }
  void Beep() override { ++beeps; }
  void SetApplicationTitle(std::string_view text) override { title = text; }
  void Translate(std::string_view) override {}
  bool OpenDocument(std::string_view) override { return false; }
  void CloseWindow() override {}
};

}  // namespace loaders::test
