#include "ui/qt/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include "platform/documents.h"
#include "ui/qt/installation_search.h"
#include "ui/qt/installation_texts.h"
#include "ui/qt/qt_message_loop.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/qt_translation.h"
#include "updater/update_form.h"

namespace ui_qt {
namespace {

constexpr int kClientWidth = 547;
constexpr int kClientHeight = 494;

QMessageBox::Icon IconOf(updater::BoxIcon icon) {
  switch (icon) {
    case updater::BoxIcon::Error:
      return QMessageBox::Critical;
    case updater::BoxIcon::Information:
      return QMessageBox::Information;
    case updater::BoxIcon::Question:
      return QMessageBox::Question;
    case updater::BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

TQtUpdateWindow::TQtUpdateWindow(QtMessageLoop& loop, std::string workDir)
    : loop_(loop), workDir_(std::move(workDir)) {
  setObjectName("UpdateForm");
  setWindowTitle(ToQt("Download :"));
  BuildControls();
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
  }
  // Key preview: the hidden keys are seen before any control.
  qApp->installEventFilter(this);
  loop_.SetNotBusyHook([this] { RunPendingClose(); });
}

TQtUpdateWindow::~TQtUpdateWindow() {
  loop_.SetNotBusyHook(nullptr);
  qApp->removeEventFilter(this);
}

// --- log, identity, status bar, progress --------------------------------------

void TQtUpdateWindow::AddLogLine(std::string_view text) { memo_->appendPlainText(ToQt(text)); }

void TQtUpdateWindow::ClearLog() { memo_->clear(); }

QString TQtUpdateWindow::LogText() const { return memo_->toPlainText(); }

void TQtUpdateWindow::SetIdentityField(updater::IdentityField field, std::string_view text) {
  identity_[static_cast<std::size_t>(field)]->setText(ToQt(text));
}

QString TQtUpdateWindow::IdentityText(updater::IdentityField field) const {
  return identity_[static_cast<std::size_t>(field)]->text();
}

void TQtUpdateWindow::SetStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels) return;
  panelTexts_[panel] = text;
  panels_[panel]->setText(ToQt(text));
}

void TQtUpdateWindow::AppendStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels) return;
  SetStatusPanel(panel, panelTexts_[panel] + std::string(text));
}

QString TQtUpdateWindow::StatusPanelText(int panel) const {
  return panel >= 0 && panel < kStatusPanels ? panels_[panel]->text() : QString();
}

void TQtUpdateWindow::RepaintStatusBar() { statusBar()->repaint(); }

void TQtUpdateWindow::SetProgress(int position) { progressBar_->setValue(position); }

int TQtUpdateWindow::Progress() const { return progressBar_->value(); }

void TQtUpdateWindow::SetProgressMax(int maximum) { progressBar_->setMaximum(maximum); }

// --- panels, buttons, menu ------------------------------------------------------

void TQtUpdateWindow::ShowPanel(updater::Panel panel, bool visible) {
  QLabel* shown = panel == updater::Panel::Wait ? waitPanel_ : stopPanel_;
  shown->setVisible(visible);
  if (!visible) return;
  shown->raise();
  shown->repaint();  // at once: the closing may not return to the loop before it ends
}

void TQtUpdateWindow::EnableOk(bool enabled) { okButton_->setEnabled(enabled); }

QAction* TQtUpdateWindow::MenuAction(updater::MenuItem item) const {
  const auto found = menuItems_.find(item);
  return found == menuItems_.end() ? nullptr : found->second;
}

void TQtUpdateWindow::EnableMenuItem(updater::MenuItem item, bool enabled) {
  if (QAction* action = MenuAction(item)) action->setEnabled(enabled);
}

void TQtUpdateWindow::ShowMenuItem(updater::MenuItem item, bool visible) {
  if (QAction* action = MenuAction(item)) action->setVisible(visible);
}

void TQtUpdateWindow::CheckMenuItem(updater::MenuItem item, bool checked) {
  if (QAction* action = MenuAction(item)) action->setChecked(checked);
}

void TQtUpdateWindow::SetInfoLabel(std::string_view text, bool visible) {
  infoLabel_->setText(ToQt(text));
  infoLabel_->setVisible(visible);
}

void TQtUpdateWindow::AddDownloadListItem(std::string_view name) { downloadList_->addItem(ToQt(name)); }

// --- dialogs ------------------------------------------------------------------------

updater::BoxAnswer TQtUpdateWindow::MessageBox(std::string_view text, std::string_view caption,
                                               updater::BoxIcon icon, updater::BoxButtons buttons) {
  const auto qtButtons =
      buttons == updater::BoxButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
  QMessageBox box(IconOf(icon), ToQt(caption), ToQt(text), qtButtons, this);
  return RunBox(box);
}

void TQtUpdateWindow::SimpleMessage(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, ToQt(applicationTitle_), ToQt(text), QMessageBox::Ok, this);
  RunBox(box);
}

updater::BoxAnswer TQtUpdateWindow::RunBox(QMessageBox& box) {
  if (boxObserver_) QTimer::singleShot(0, &box, [this, &box] { boxObserver_(box); });
  loop_.RunModal(box);
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked == box.button(QMessageBox::Yes)) return updater::BoxAnswer::Yes;
  if (clicked == box.button(QMessageBox::Ok)) return updater::BoxAnswer::Ok;
  // Closed without a button (Escape, the close button): the safe answer.
  return box.button(QMessageBox::No) ? updater::BoxAnswer::No : updater::BoxAnswer::Ok;
}

void TQtUpdateWindow::Beep() { QApplication::beep(); }

void TQtUpdateWindow::SetApplicationTitle(std::string_view text) {
  applicationTitle_ = text;
  // The task bar shows the window caption followed by this name. Qt formats
  // the platform window's title only when the title is set, so set it again.
  QGuiApplication::setApplicationDisplayName(ToQt(text));
  if (QWindow* handle = windowHandle()) handle->setTitle(handle->title());
}

void TQtUpdateWindow::Translate(std::string_view dialogFile) {
  language_.SetDirectory(workDir_);
  language_.SetDialogfile(std::string(dialogFile));
  // A dialog file that cannot be written (a read-only installation) leaves
  // the window translated all the same; nothing to tell the user.
  TranslateWindow(language_, *this);
}

bool TQtUpdateWindow::OpenDocument(std::string_view path) { return platform::OpenDocument(std::string(path)); }

// --- the installation ------------------------------------------------------------

void TQtUpdateWindow::ShowNoInstallation(const QString& text) {
  memo_->setPlainText(text);
  SetStatusPanel(0, "");
  okButton_->setEnabled(false);
  for (QAction* action : formActions_) action->setEnabled(false);
}

void TQtUpdateWindow::OpenInstallationFolder() {
  if (closed_) return;
  const QString chosen = folderChooser_ ? folderChooser_() : AskForFolder();
  if (chosen.isEmpty()) return;
  const std::string folder = QFile::encodeName(QDir(chosen).absolutePath()).toStdString();
  if (!HoldsInstallation(folder)) {
    QMessageBox box(QMessageBox::Warning, ToQt(applicationTitle_), NotAnInstallationText(folder), QMessageBox::Ok,
                    this);
    RunBox(box);
    return;
  }
  openedInstallation_ = folder;
  RequestClose();
}

QString TQtUpdateWindow::AskForFolder() {
  QFileDialog dialog(this, OpenInstallationCaption(), QDir::currentPath());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (loop_.RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

// --- handlers and closing -------------------------------------------------------

void TQtUpdateWindow::RunHandler(const std::function<void()>& handler) {
  if (form_ == nullptr || closed_) return;
  ++handlerDepth_;
  handler();
  --handlerDepth_;
  RunPendingClose();
}

bool TQtUpdateWindow::LogicBusy() const { return handlerDepth_ > 0 || loop_.Busy(); }

void TQtUpdateWindow::RequestClose() {
  if (closed_) return;
  if (LogicBusy()) {
    closePending_ = true;
    ShowPanel(updater::Panel::Stop, true);
    return;
  }
  if (form_ == nullptr) {
    CloseWindow();
    return;
  }
  RunHandler([this] { form_->Close(); });
}

void TQtUpdateWindow::RunPendingClose() {
  if (!closePending_ || LogicBusy()) return;
  closePending_ = false;
  RequestClose();
}

void TQtUpdateWindow::CloseWindow() {
  closed_ = true;
  close();
  QCoreApplication::quit();
}

void TQtUpdateWindow::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  event->ignore();
  RequestClose();
}

bool TQtUpdateWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyRelease || !watched->isWidgetType()) return false;
  if (static_cast<QWidget*>(watched)->window() != this) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  return !key->isAutoRepeat() && HandleHiddenKey(key->key(), key->modifiers());
}

bool TQtUpdateWindow::HandleHiddenKey(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  updater::HiddenKey hidden;
  if (key == Qt::Key_F7 && held == Qt::ShiftModifier) {
    hidden = updater::HiddenKey::SetClock;
  } else if (key == Qt::Key_F5 && held == Qt::ControlModifier) {
    hidden = updater::HiddenKey::ToggleDebug;
  } else if (key == Qt::Key_F6 &&
             (held == (Qt::ControlModifier | Qt::AltModifier) || held == (Qt::ControlModifier | Qt::ShiftModifier))) {
    // Ctrl+Alt+F6 switches to a virtual terminal on most Linux desktops and
    // never reaches the window; Ctrl+Shift+F6 does the same here.
    hidden = updater::HiddenKey::ToggleVersionCheck;
  } else {
    return false;
  }
  RunHandler([this, hidden] { form_->FormKeyUp(hidden); });
  return true;
}

}  // namespace ui_qt
