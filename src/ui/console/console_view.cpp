#include "ui/console/console_view.h"

#include <algorithm>

#include "core/text_encoding.h"
#include "language/language.h"
#include "platform/documents.h"

namespace console {
namespace {

constexpr int kProgressPanel = 4;
constexpr int kBarWidth = 20;
constexpr auto kPlainProgressEvery = std::chrono::seconds(5);

struct IdentityLabel {
  updater::IdentityField field;
  const char* control;  // the window's label, by which the dialog-text file names it
  const char* caption;  // its caption before translation
};

constexpr IdentityLabel kIdentityLabels[] = {
    {updater::IdentityField::Name, "NameLabel", "Name:"},
    {updater::IdentityField::Serial, "SerLabel", "Seriennummer:"},
    {updater::IdentityField::Pcb, "PCBLabel", "PCB Nummer :"},
    {updater::IdentityField::Version, "SWLabel", "Version:"},
};

// Splits at CR LF, LF or a lone CR, as the log area shows the text.
template <typename Emit>
void ForEachLine(std::string_view text, Emit emit) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    emit(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size() || text.empty()) emit(text.substr(start));
}

}  // namespace

std::string ConsoleView::LabelOf(updater::IdentityField field) const {
  if (const auto found = labels_.find(field); found != labels_.end()) return found->second;
  for (const IdentityLabel& label : kIdentityLabels) {
    if (label.field == field) return label.caption;
  }
  return "";
}

void ConsoleView::Translate(std::string_view dialogFile) {
  labels_.clear();
  language::TLanguage language;
  language.SetDirectory(workDir_);
  language.SetDialogfile(std::string(dialogFile));
  if (!language.LoadTranslateText()) return;  // no file: the captions stay
  for (const IdentityLabel& label : kIdentityLabels) {
    labels_[label.field] = language.TranslateText(label.control, label.caption);
  }
}

bool ConsoleView::MenuEnabled(updater::MenuItem item) const {
  const auto it = enabled_.find(item);
  return it != enabled_.end() && it->second;
}

bool ConsoleView::MenuVisible(updater::MenuItem item) const {
  const auto it = visible_.find(item);
  return it != visible_.end() && it->second;
}

void ConsoleView::ClearProgressLine() {
  if (!progressShown_) return;
  io_.out << "\r\033[K";
  progressShown_ = false;
}

void ConsoleView::PrintLines(std::string_view text, std::string_view prefix) {
  ClearProgressLine();
  ForEachLine(text, [&](std::string_view line) { io_.out << prefix << core::Cp1252ToUtf8(line) << '\n'; });
  ShowProgress();
  io_.out.flush();
}

void ConsoleView::AddLogLine(std::string_view text) { PrintLines(text); }

void ConsoleView::SetIdentityField(updater::IdentityField field, std::string_view text) {
  if (!text.empty()) PrintLines(LabelOf(field) + " " + std::string(text));
}

std::string ConsoleView::ProgressText() const {
  std::string text = panels_[kProgressPanel];
  if (progressMax_ > 0 && progress_ > 0) {
    const int filled = std::min(progress_, progressMax_) * kBarWidth / progressMax_;
    text += (text.empty() ? "[" : "  [") + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "]";
  }
  return text;
}

void ConsoleView::ShowProgress() {
  const std::string text = ProgressText();
  if (io_.outIsTerminal) {
    if (text.empty()) return;
    io_.out << "\r\033[K" << core::Cp1252ToUtf8(text) << std::flush;
    progressShown_ = true;
    return;
  }
  // Without a terminal: a plain line when the text changes, at most every few
  // seconds, so that logs are not flooded.
  const auto now = std::chrono::steady_clock::now();
  if (text.empty() || text == lastProgressPrinted_ || now - lastProgressTime_ < kPlainProgressEvery) return;
  lastProgressPrinted_ = text;
  lastProgressTime_ = now;
  io_.out << core::Cp1252ToUtf8(text) << '\n' << std::flush;
}

void ConsoleView::SetStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels) return;
  panels_[panel] = text;
  if (panel == kProgressPanel) {
    ClearProgressLine();
    ShowProgress();
  }
}

void ConsoleView::AppendStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels) return;
  SetStatusPanel(panel, panels_[panel] + std::string(text));
}

void ConsoleView::SetProgress(int position) {
  progress_ = position;
  if (io_.outIsTerminal) ShowProgress();
}

void ConsoleView::SetInfoLabel(std::string_view text, bool visible) {
  if (visible) PrintLines("[" + std::string(text) + "]");
}

void ConsoleView::Beep() {
  if (io_.outIsTerminal) io_.out << '\a' << std::flush;
}

bool ConsoleView::ReadYesNo() {
  std::string answer;
  if (!std::getline(io_.in, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == 'j' || answer[0] == 'J');
}

bool ConsoleView::AskOnTerminal(std::string_view question) {
  if (!io_.inIsTerminal) return false;
  ClearProgressLine();
  io_.out << core::Cp1252ToUtf8(question) << " [y/n] " << std::flush;
  return ReadYesNo();
}

updater::BoxAnswer ConsoleView::MessageBox(std::string_view text, std::string_view caption, updater::BoxIcon,
                                           updater::BoxButtons buttons) {
  PrintLines(text, "[" + std::string(caption) + "] ");
  if (buttons == updater::BoxButtons::Ok) return updater::BoxAnswer::Ok;
  bool yes = false;
  if (answers_ != Answers::Ask) {
    yes = answers_ == Answers::Yes;
    io_.out << (yes ? "-> Yes\n" : "-> No\n");
  } else if (io_.inIsTerminal) {
    io_.out << "[y/n] " << std::flush;
    yes = ReadYesNo();
  } else {
    io_.out << "-> No (no terminal)\n";
  }
  io_.out.flush();
  return yes ? updater::BoxAnswer::Yes : updater::BoxAnswer::No;
}

bool ConsoleView::OpenDocument(std::string_view path) { return platform::OpenDocument(std::string(path)); }

}  // namespace console
