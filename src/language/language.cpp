#include "language/language.h"

#include <optional>

#include "core/text_encoding.h"
#include "core/text_helpers.h"
#include "platform/files.h"

namespace language {
namespace {

constexpr std::string_view kHintPrefix = "[Hint]";
constexpr std::string_view kStoredBreak = "\\\\";  // two backslashes stand for CR LF
constexpr std::string_view kCrLf = "\r\n";

std::string Key(std::string_view name) { return "[" + std::string(name) + "]"; }

// A caption key such as "[NameLabel]" also occurs inside the hint entry
// "[Hint][NameLabel]...", which must never be taken for the caption's entry.
bool Matches(std::string_view line, std::string_view key, std::size_t& at) {
  at = line.find(key);
  if (at == std::string_view::npos) return false;
  return key.starts_with(kHintPrefix) || !line.starts_with(kHintPrefix);
}

}  // namespace

std::string TLanguage::Path() const { return platform::ResolveCaseless(directory_, dialogFile_); }

// The entry of `key`: its translation; with an empty translation the source
// text recorded between the key and ":=" (empty when there is none). Without
// an entry, nothing; in normal mode the entry is then appended for a translator.
std::optional<std::string> TLanguage::Lookup(std::string_view key, std::string_view stored, bool appendMissing) {
  for (const std::string& line : lines_) {
    std::size_t at = 0;
    if (!Matches(line, key, at)) continue;
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos && equals + 1 < line.size()) {
      return core::ReplaceAll(std::string_view(line).substr(equals + 1), kStoredBreak, kCrLf);
    }
    const std::size_t sourceStart = at + key.size();
    const std::size_t assign = line.find(":=", sourceStart);
    if (assign == std::string::npos) return std::string();
    return core::ReplaceAll(std::string_view(line).substr(sourceStart, assign - sourceStart), kStoredBreak, kCrLf);
  }
  if (appendMissing) {
    lines_.push_back(std::string(key) + std::string(stored) + ":=");
    changed_ = true;
  }
  return std::nullopt;
}

std::string TLanguage::TranslateText(std::string_view name, std::string_view text) {
  if (text.empty()) return {};
  const std::string key = Key(name);
  const std::string stored = core::ReplaceAll(text, kCrLf, kStoredBreak);
  if (createMode_) {
    // Recorded with its source text, so that the file read back before a
    // translator has filled it in keeps the window's texts instead of
    // blanking them.
    lines_.push_back(key + stored + ":=");
    return std::string(text);
  }
  return Lookup(key, stored, true).value_or(std::string(text));
}

std::string TLanguage::TranslateHintText(std::string_view name, std::string_view hint) {
  const std::string key = std::string(kHintPrefix) + Key(name);
  if (createMode_) {
    lines_.push_back(key + core::ReplaceAll(hint, kCrLf, kStoredBreak) + ":=");
    return std::string(hint);
  }
  // A file without hint entries is complete: missing hints are not appended.
  return Lookup(key, {}, false).value_or(std::string(hint));
}

void TLanguage::TranslateMenuItems(MenuNode& root) {
  for (MenuNode& item : root.items) {
    item.caption = TranslateText(item.name, item.caption);
    item.hint = TranslateHintText(item.name, item.hint);
    TranslateMenuItems(item);
  }
}

bool TLanguage::LoadTranslateText() {
  // Each file starts afresh: what was recorded or appended for the previous
  // file must not leak into this one.
  changed_ = false;
  const std::optional<std::string> bytes = platform::ReadFileBytes(Path());
  if (!bytes) {
    lines_.clear();
    createMode_ = true;
    return false;
  }
  lines_ = platform::SplitLines(core::DecodeTextFile(*bytes));
  createMode_ = false;
  return true;
}

bool TLanguage::SaveTranslateText() {
  if (!createMode_ && !changed_) return true;
  if (!platform::WriteTextLines(Path(), lines_)) return false;
  changed_ = false;
  return true;
}

void TLanguage::TranslateControl(Control& control) {
  switch (control.kind) {
    case ControlClass::Other:
      return;
    case ControlClass::MainMenu:
      TranslateMenuItems(control.menu);
      return;
    default:
      control.caption = TranslateText(control.name, control.caption);
      control.hint = TranslateHintText(control.name, control.hint);
      return;
  }
}

bool TLanguage::TranslateDialog(DialogDescription& dialog) {
  if (!enabled_) return true;
  LoadTranslateText();
  dialog.caption = TranslateText(dialog.name, dialog.caption);
  for (Control& control : dialog.controls) {
    if (control.tag != tagNoTranslate_) TranslateControl(control);
  }
  return SaveTranslateText();
}

}  // namespace language
