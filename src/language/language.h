#pragma once
// TLanguage: translates the fixed texts of a window (its caption, the captions
// and hints of its controls and its menu) through a dialog-text file, looked up
// by the name of the control that shows each text.
//
// Dialog-text file: one entry per line, CR LF line ends, 8-bit Windows-1252
// (read also as UTF-8 when it carries a byte-order mark or is valid UTF-8).
// A line break inside a text is stored as two backslashes.
//   [Name]=translation          the translation (an empty one blanks the text)
//   [Name]source:=translation   the translation; while it is empty, `source`
//   [Hint][Name]hint:=translation   the same for the hint (tool tip)
//
// Create mode: when the file cannot be read, the component records instead of
// translating: every text stays as it is and gets an entry with its source
// text and an empty translation ("[Name]source:=", "[Hint][Name]hint:="), and
// the file is written, so that a translator can fill it in. A later successful load (the file of
// another language, or the one just written) returns to translating.
//
// Not thread-safe; main thread only. Failures are results, never exceptions.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "language/dialog_description.h"

namespace language {

class TLanguage {
 public:
  static constexpr const char* kDefaultDialogFile = "sprache.lng";

  TLanguage() = default;

  /// The dialog-text file; a relative name is taken relative to Directory().
  const std::string& Dialogfile() const { return dialogFile_; }
  void SetDialogfile(std::string name) { dialogFile_ = std::move(name); }
  /// Folder of relative dialog-file names (empty: the working directory).
  const std::string& Directory() const { return directory_; }
  void SetDirectory(std::string directory) { directory_ = std::move(directory); }

  /// When false, TranslateDialog reads, changes and writes nothing.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  /// Controls whose tag equals this value keep their texts and get no entry.
  int TagNoTranslate() const { return tagNoTranslate_; }
  void SetTagNoTranslate(int tag) { tagNoTranslate_ = tag; }

  bool CreateMode() const { return createMode_; }
  bool Changed() const { return changed_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  /// The translation of one text shown by control `name`; an empty text stays
  /// empty. A name without entry gets "[name]text:=" appended (normal mode).
  std::string TranslateText(std::string_view name, std::string_view text);
  /// The hint of control `name`: recorded in create mode; otherwise the
  /// translation of a recorded hint entry, or the hint itself.
  std::string TranslateHintText(std::string_view name, std::string_view hint);
  /// Translates the captions and hints of every item below `root`, depth first.
  void TranslateMenuItems(MenuNode& root);

  /// Reads the dialog file into the list. When it cannot be read, the list is
  /// emptied and create mode starts; false then.
  bool LoadTranslateText();
  /// Writes the list when in create mode or when an entry was appended.
  /// False when the file could not be written (the texts are translated all
  /// the same); true otherwise, also when there was nothing to write.
  bool SaveTranslateText();

  /// Translates a whole window: load, caption, controls by class, save.
  /// Returns SaveTranslateText's result (true when disabled).
  bool TranslateDialog(DialogDescription& dialog);

 private:
  void TranslateControl(Control& control);
  std::optional<std::string> Lookup(std::string_view key, std::string_view stored, bool appendMissing);
  std::string Path() const;

  std::string dialogFile_ = kDefaultDialogFile;
  std::string directory_;
  bool enabled_ = true;
  int tagNoTranslate_ = -1;
  std::vector<std::string> lines_;
  bool createMode_ = false;
  bool changed_ = false;
};

}  // namespace language
