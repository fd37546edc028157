#pragma once
// TQtUpdateWindow: the Qt 6 Widgets window of the updater, the UpdateView of
// TUpdateForm.
//
// Layout, top to bottom: the group box "Gerät" with the identity labels and
// their sunken info-tip fields (and the hidden "Download-Liste"), the log area
// with the "Bitte warten ..." and "Update wird beendet ..." panels over it,
// the wait progress bar, the key panel with OK and the hidden-mode label, and
// the status bar with five panels. The menu holds "&Datei" (programming by
// instrument type, "Lab XXX", "Installationsordner öffnen ...", "&Beenden"),
// "&Sprache" and "&Hilfe". Hidden
// keys are seen on key release before any control: Shift+F7, Ctrl+F5,
// Ctrl+Alt+F6.
//
// Without an installation the window shows which folders were looked in and
// offers only opening an installation folder; a folder opened that holds an
// installation closes the window, and the program opens a new one on it.
//
// Closing: the closing of the logic (ports closed) never runs while the logic
// is inside one of its handlers or waits, as it would pull the ports from
// under a running conversation. A close asked for meanwhile (window close
// button, "&Beenden") shows the stop panel and runs as soon as the logic has
// returned to the window's loop.
//
// Main thread only. Every text from the logic is Windows-1252 and converted
// here, at the widget.
#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "language/language.h"
#include "updater/update_view.h"

class QAction;
class QActionGroup;
class QLabel;
class QListWidget;
class QMenu;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace updater {
class TUpdateForm;
}

namespace ui_qt {

class QtMessageLoop;

class TQtUpdateWindow final : public QMainWindow, public updater::UpdateView {
 public:
  /// `workDir`: the folder of the dialog-text files.
  TQtUpdateWindow(QtMessageLoop& loop, std::string workDir);
  ~TQtUpdateWindow() override;

  /// The logic whose handlers the controls call; set once before use.
  void AttachForm(updater::TUpdateForm* form) { form_ = form; }

  /// Called with every message box once it is open (tests answer through it).
  void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer) { boxObserver_ = std::move(observer); }

  /// True once the logic asked the window to close.
  bool WindowClosed() const { return closed_; }

  /// Shows `text` in the log area and disables everything that needs an
  /// installation (OK and the logic's menu items).
  void ShowNoInstallation(const QString& text);
  /// Replaces the folder dialog of "Installationsordner öffnen ..." (tests);
  /// the chooser returns the folder, or an empty text for none.
  void SetFolderChooser(std::function<QString()> chooser) { folderChooser_ = std::move(chooser); }
  /// The installation folder the user opened; the window closed for it.
  const std::optional<std::string>& OpenedInstallation() const { return openedInstallation_; }

  // What the tests and the screenshot look at.
  QString LogText() const;
  QString StatusPanelText(int panel) const;
  QString IdentityText(updater::IdentityField field) const;
  QAction* MenuAction(updater::MenuItem item) const;
  QLabel* InfoLabel() const { return infoLabel_; }
  QLabel* WaitPanel() const { return waitPanel_; }
  QPushButton* OkButton() const { return okButton_; }
  QProgressBar* WaitProgressBar() const { return progressBar_; }

  // updater::UpdateView
  void AddLogLine(std::string_view text) override;
  void ClearLog() override;
  void SetIdentityField(updater::IdentityField field, std::string_view text) override;
  void SetStatusPanel(int panel, std::string_view text) override;
  void AppendStatusPanel(int panel, std::string_view text) override;
  void RepaintStatusBar() override;
  void SetProgress(int position) override;
  int Progress() const override;
  void SetProgressMax(int maximum) override;
  void ShowPanel(updater::Panel panel, bool visible) override;
  void EnableOk(bool enabled) override;
  void EnableMenuItem(updater::MenuItem item, bool enabled) override;
  void ShowMenuItem(updater::MenuItem item, bool visible) override;
  void CheckMenuItem(updater::MenuItem item, bool checked) override;
  void SetInfoLabel(std::string_view text, bool visible) override;
  void AddDownloadListItem(std::string_view name) override;
  updater::BoxAnswer MessageBox(std::string_view text, std::string_view caption, updater::BoxIcon icon,
                                updater::BoxButtons buttons) override;
  void SimpleMessage(std::string_view text) override;
  void Beep() override;
  void SetApplicationTitle(std::string_view text) override;
  void Translate(std::string_view dialogFile) override;
  bool OpenDocument(std::string_view path) override;
  void CloseWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildIdentityBox();
  QWidget* BuildLogArea();
  QWidget* BuildKeyPanel();
  void BuildStatusBar();
  void BuildMenu();
  QAction* AddItem(QMenu* menu, const char* name, const char* caption, int tag, std::function<void()> handler);

  /// Runs a handler of the logic, keeping count of the nesting.
  void RunHandler(const std::function<void()>& handler);
  bool LogicBusy() const;
  void RequestClose();
  void RunPendingClose();
  bool HandleHiddenKey(int key, Qt::KeyboardModifiers modifiers);
  void OpenInstallationFolder();
  QString AskForFolder();
  updater::BoxAnswer RunBox(QMessageBox& box);

  QtMessageLoop& loop_;
  std::string workDir_;
  language::TLanguage language_;
  updater::TUpdateForm* form_ = nullptr;
  std::function<void(QMessageBox&)> boxObserver_;
  std::function<QString()> folderChooser_;
  std::optional<std::string> openedInstallation_;

  std::array<QLabel*, 4> identity_{};
  QListWidget* downloadList_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QLabel* waitPanel_ = nullptr;
  QLabel* stopPanel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QLabel* infoLabel_ = nullptr;
  std::array<QLabel*, kStatusPanels> panels_{};
  std::array<std::string, kStatusPanels> panelTexts_;
  std::map<updater::MenuItem, QAction*> menuItems_;
  std::vector<QAction*> formActions_;  // the menu items whose handlers are the logic's
  std::string applicationTitle_ = "Update";

  int handlerDepth_ = 0;
  bool closePending_ = false;
  bool closed_ = false;
};

}  // namespace ui_qt
