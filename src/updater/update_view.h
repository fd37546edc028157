#pragma once
// UpdateView: everything the update logic does to its window. The Qt window,
// the console front end and the tests' scripted view implement it; the logic
// never knows which one runs it.
//
// Contract: every call comes from the main thread. Texts are 8-bit
// Windows-1252 (as the configuration and the instruments use them) and may
// hold "\r\n" line breaks; the implementation converts them for display.
// MessageBox and SimpleMessage are modal: they return when the user has
// answered, and while they wait a window front end keeps delivering the message
// loop's messages and timers, as a modal dialog does.
#include <string_view>

namespace updater {

enum class IdentityField { Name, Serial, Pcb, Version };

/// The menu items the logic changes.
enum class MenuItem {
  Programming,  ///< submenu "&Programmieren"
  Multi77x,     ///< "&Multi 77x ..." (tag 0)
  PH77x,        ///< "&pH 77x ..." (tag 1)
  Oxi77x,       ///< "&Oxi 77x ..." (tag 2)
  Cond77x,      ///< "&Cond 77x ..." (tag 3)
  LabXXX,       ///< "Lab XXX"
  Language,     ///< submenu "&Sprache"
  Deutsch,      ///< "&Deutsch" (tag 0)
  Englisch,     ///< "&Englisch" (tag 1)
};

enum class Panel {
  Wait,  ///< "Bitte warten ..." over the log area
  Stop,  ///< "Update wird beendet ..." while the window closes
};

enum class BoxIcon { Error, Information, Question, None };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

class UpdateView {
 public:
  static constexpr int kStatusPanels = 5;

  virtual ~UpdateView() = default;

  // Log area.
  virtual void AddLogLine(std::string_view text) = 0;
  virtual void ClearLog() = 0;

  // Identity display of the instrument.
  virtual void SetIdentityField(IdentityField field, std::string_view text) = 0;

  // Status bar: panels 0..4 (ports, found port, baud rate, offered versions,
  // progress). Other panel numbers are ignored.
  virtual void SetStatusPanel(int panel, std::string_view text) = 0;
  virtual void AppendStatusPanel(int panel, std::string_view text) = 0;
  virtual void RepaintStatusBar() = 0;

  // The wait progress bar.
  virtual void SetProgress(int position) = 0;
  virtual int Progress() const = 0;
  virtual void SetProgressMax(int maximum) = 0;

  // Panels, the OK button, menu items, the hidden-mode label and the hidden
  // "Download-Liste" (filled, never shown).
  virtual void ShowPanel(Panel panel, bool visible) = 0;
  virtual void EnableOk(bool enabled) = 0;
  virtual void EnableMenuItem(MenuItem item, bool enabled) = 0;
  virtual void ShowMenuItem(MenuItem item, bool visible) = 0;
  virtual void CheckMenuItem(MenuItem item, bool checked) = 0;
  virtual void SetInfoLabel(std::string_view text, bool visible) = 0;
  virtual void AddDownloadListItem(std::string_view name) = 0;

  // Dialogs. MessageBox returns Ok for an OK box and Yes or No otherwise.
  virtual BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxIcon icon,
                               BoxButtons buttons) = 0;
  virtual void SimpleMessage(std::string_view text) = 0;

  /// One simple beep (the end of a download).
  virtual void Beep() = 0;

  /// The title shown on the task bar ("Update [ 45.0 %]").
  virtual void SetApplicationTitle(std::string_view text) = 0;

  /// Translates the window's captions with a dialog-text file ("Update.Deu");
  /// a front end without translatable captions does nothing.
  virtual void Translate(std::string_view dialogFile) = 0;

  /// Opens `path` with the desktop's document viewer; false when it could not
  /// be started.
  virtual bool OpenDocument(std::string_view path) = 0;

  /// The window goes away; the front end ends the program once control
  /// returns to its loop. Called once, after the logic's closing.
  virtual void CloseWindow() = 0;
};

}  // namespace updater
