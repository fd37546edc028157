#pragma once
// ScriptedView: an UpdateView for tests. Records every call as one text
// ("log: ...", "panel 4: ...", "box Error: ...") and answers questions from a
// script; an unscripted question is answered No.
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "updater/update_view.h"

namespace updater::testing {

class ScriptedView : public UpdateView {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> log;              ///< the log area's lines as added
  std::string panels[kStatusPanels];
  std::string title;
  int beeps = 0;
  std::deque<BoxAnswer> answers;             ///< answers to Yes/No boxes, in order
  bool documentOpens = true;                 ///< result of OpenDocument
  std::map<MenuItem, bool> enabled, visible, checked;
  int progress = 0, progressMax = 0;
  bool okEnabled = true, closed = false;

  /// True when some recorded call starts with `prefix`.
  bool Called(const std::string& prefix) const {
    for (const std::string& call : calls) {
      if (call.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

  void AddLogLine(std::string_view text) override {
    log.emplace_back(text);
    Record("log: " + std::string(text));
  }
  void ClearLog() override {
    log.clear();
    Record("clear log");
  }
  void SetIdentityField(IdentityField field, std::string_view text) override {
    Record("identity " + std::to_string(static_cast<int>(field)) + ": " + std::string(text));
  }
  void SetStatusPanel(int panel, std::string_view text) override {
    if (panel >= 0 && panel < kStatusPanels) panels[panel] = text;
    Record("panel " + std::to_string(panel) + ": " + std::string(text));
  }
  void AppendStatusPanel(int panel, std::string_view text) override {
    if (panel >= 0 && panel < kStatusPanels) panels[panel] += text;
  }
  void RepaintStatusBar() override {}
  void SetProgress(int position) override { progress = position; }
  int Progress() const override { return progress; }
  void SetProgressMax(int maximum) override { progressMax = maximum; }
  void ShowPanel(Panel panel, bool show) override {
    Record(std::string(panel == Panel::Wait ? "wait panel " : "stop panel ") + (show ? "on" : "off"));
  }
  void EnableOk(bool on) override { okEnabled = on; }
  void EnableMenuItem(MenuItem item, bool on) override { enabled[item] = on; }
  void ShowMenuItem(MenuItem item, bool on) override { visible[item] = on; }
  void CheckMenuItem(MenuItem item, bool on) override { checked[item] = on; }
  void SetInfoLabel(std::string_view text, bool show) override {
    Record("info " + std::string(show ? "shown: " : "hidden: ") + std::string(text));
  }
  void AddDownloadListItem(std::string_view name) override { Record("download list: " + std::string(name)); }
  BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxIcon, BoxButtons buttons) override {
    Record("box " + std::string(caption) + ": " + std::string(text));
    if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    if (answers.empty()) return BoxAnswer::No;
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SimpleMessage(std::string_view text) override { Record("message: " + std::string(text)); }
  void Beep() override { ++beeps; }
  void SetApplicationTitle(std::string_view text) override { title = text; }
  void Translate(std::string_view file) override { Record("translate: " + std::string(file)); }
  bool OpenDocument(std::string_view path) override {
    Record("open document: " + std::string(path));
    return documentOpens;
  }
  void CloseWindow() override {
    closed = true;
    Record("close window");
  }

 private:
  void Record(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace updater::testing
