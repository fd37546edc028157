// TQtUpdateWindow: building the controls and the menu.
#include <algorithm>

#include <QActionGroup>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/qt/main_window.h"
#include "ui/qt/qt_text.h"
#include "updater/app_texts.h"
#include "updater/update_form.h"

namespace ui_qt {
namespace {

constexpr int kIdentityFieldWidth = 209;
constexpr int kOkButtonWidth = 137;
constexpr std::array<int, updater::UpdateView::kStatusPanels> kPanelWidths = {200, 50, 50, 120, 80};

// The program writes these texts itself (the instrument's identity, the
// hidden-mode labels); a dialog-text entry must not replace them.
void MarkProgramText(QWidget* widget) { widget->setProperty("tag", language::TLanguage().TagNoTranslate()); }

QLabel* MakeLabel(QWidget* parent, const char* name, std::string_view caption) {
  auto* label = new QLabel(ToQt(caption), parent);
  label->setObjectName(name);
  return label;
}

// A sunken field in the colour of tool tips, as the identity is shown.
QLabel* MakeInfoField(QWidget* parent, const char* name) {
  QLabel* field = MakeLabel(parent, name, "");
  MarkProgramText(field);
  field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  field->setFixedWidth(kIdentityFieldWidth);
  field->setAutoFillBackground(true);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
  field->setPalette(palette);
  return field;
}

QLabel* MakeOverlayPanel(QWidget* parent, const char* name, std::string_view caption, int points, bool bold) {
  QLabel* panel = MakeLabel(parent, name, caption);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAutoFillBackground(true);
  panel->setMargin(16);
  QFont font = panel->font();
  font.setPointSize(points);
  font.setBold(bold);
  panel->setFont(font);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  panel->setPalette(palette);
  panel->hide();
  return panel;
}

}  // namespace

void TQtUpdateWindow::BuildControls() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->addWidget(BuildIdentityBox());
  column->addWidget(BuildLogArea(), 1);
  progressBar_ = new QProgressBar(central);
  progressBar_->setObjectName("WaitProgressBar");
  progressBar_->setRange(0, updater::TUpdateForm::kProgressMaxAtStart);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  column->addWidget(progressBar_);
  column->addWidget(BuildKeyPanel());
  setCentralWidget(central);
  BuildStatusBar();
  BuildMenu();
}

QWidget* TQtUpdateWindow::BuildIdentityBox() {
  auto* box = new QGroupBox(ToQt("Ger\xE4t"));
  box->setObjectName("UpdateGroupBox");
  auto* grid = new QGridLayout(box);
  const std::array<std::pair<const char*, const char*>, 4> labels = {
      {{"NameLabel", "Name:"}, {"SerLabel", "Seriennummer:"}, {"PCBLabel", "PCB Nummer :"}, {"SWLabel", "Version:"}}};
  const std::array<const char*, 4> fields = {"NameStaticText", "SerStaticText", "PCBStaticText", "SWStaticText"};
  for (int i = 0; i < 4; ++i) {
    grid->addWidget(MakeLabel(box, labels[i].first, labels[i].second), i, 0);
    identity_[i] = MakeInfoField(box, fields[i]);
    grid->addWidget(identity_[i], i, 1);
  }
  grid->setColumnStretch(2, 1);
  // The download list is still filled with the catalogue but never shown.
  QLabel* listLabel = MakeLabel(box, "DLLabel", "Download-Liste");
  listLabel->hide();
  downloadList_ = new QListWidget(box);
  downloadList_->setObjectName("DLListBox");
  downloadList_->hide();
  return box;
}

QWidget* TQtUpdateWindow::BuildLogArea() {
  auto* area = new QWidget;
  auto* stack = new QGridLayout(area);
  stack->setContentsMargins(0, 0, 0, 0);
  memo_ = new QPlainTextEdit(area);
  memo_->setObjectName("UpdateMemo");
  memo_->setReadOnly(true);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The panels lie in the same cell, over the log.
  waitPanel_ = MakeOverlayPanel(area, "WaitPanel", "Bitte warten ...", 24, true);
  stopPanel_ = MakeOverlayPanel(area, "StopPanel", "Update wird beendet ...", 16, false);
  stack->addWidget(memo_, 0, 0);
  stack->addWidget(waitPanel_, 0, 0, Qt::AlignCenter);
  stack->addWidget(stopPanel_, 0, 0, Qt::AlignCenter);
  return area;
}

QWidget* TQtUpdateWindow::BuildKeyPanel() {
  auto* panel = new QFrame;
  panel->setObjectName("KeyPanel");
  auto* row = new QHBoxLayout(panel);
  infoLabel_ = MakeLabel(panel, "InfoStaticText", "");
  MarkProgramText(infoLabel_);
  infoLabel_->hide();
  okButton_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", panel);
  okButton_->setObjectName("OkBitBtn");
  okButton_->setFixedWidth(kOkButtonWidth);
  connect(okButton_, &QPushButton::clicked, this, [this] { RunHandler([this] { form_->OkBitBtnClick(); }); });
  okButton_->setFocus();  // the space bar starts a run, as pressing OK does
  // The label sits left of the centred button without pushing it aside.
  auto* left = new QHBoxLayout;
  left->addWidget(infoLabel_);
  left->addStretch();
  row->addLayout(left, 1);
  row->addWidget(okButton_);
  row->addStretch(1);
  return panel;
}

void TQtUpdateWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("UpdateStatusBar");
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < kStatusPanels; ++i) {
    panels_[i] = new QLabel(bar);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setMinimumWidth(kPanelWidths[i]);
    bar->addWidget(panels_[i], i == kStatusPanels - 1 ? 1 : 0);
  }
  // The last panel ends every run with the longer of its two end texts.
  QLabel* last = panels_[kStatusPanels - 1];
  const int endText = last->fontMetrics().horizontalAdvance(ToQt(updater::texts::kUpdateReady.Pick(0)));
  last->setMinimumWidth(std::max(kPanelWidths.back(), endText + 2 * (last->frameWidth() + last->margin()) + 4));
  SetStatusPanel(0, "Com X");
}

QAction* TQtUpdateWindow::AddItem(QMenu* menu, const char* name, const char* caption, int tag,
                                  std::function<void()> handler) {
  QAction* action = menu->addAction(ToQt(caption));
  action->setObjectName(name);
  action->setData(tag);
  connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] { RunHandler(handler); });
  formActions_.push_back(action);
  return action;
}

void TQtUpdateWindow::BuildMenu() {
  using updater::MenuItem;
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");

  QMenu* file = bar->addMenu(ToQt("&Datei"));
  file->setObjectName("Bearbeiten");
  QMenu* programming = file->addMenu(ToQt("&Programmieren"));
  programming->setObjectName("TG77xProgramming");
  programming->menuAction()->setVisible(false);
  menuItems_[MenuItem::Programming] = programming->menuAction();
  const std::array<std::tuple<MenuItem, const char*, const char*>, 4> models = {{
      {MenuItem::Multi77x, "DevMulti77x", "&Multi 77x ..."},
      {MenuItem::PH77x, "DevpH77x", "&pH 77x ..."},
      {MenuItem::Oxi77x, "DevOxi77x", "&Oxi 77x ..."},
      {MenuItem::Cond77x, "DevCond77x", "&Cond 77x ..."},
  }};
  for (int tag = 0; tag < 4; ++tag) {
    const auto& [item, name, caption] = models[tag];
    QAction* action = AddItem(programming, name, caption, tag, [this, tag] { form_->TG77xProgrammingClick(tag); });
    action->setEnabled(false);
    menuItems_[item] = action;
  }
  menuItems_[MenuItem::LabXXX] = AddItem(file, "LabXXX", "Lab XXX", 0, [this] { form_->LabXXXClick(); });
  QAction* open = file->addAction(ToQt("&Installationsordner \xF6" "ffnen ..."));
  open->setObjectName("OpenInstallation");
  connect(open, &QAction::triggered, this, [this] { OpenInstallationFolder(); });
  QAction* end = file->addAction(ToQt("&Beenden"));
  end->setObjectName("UpdateEnd");
  connect(end, &QAction::triggered, this, [this] { RequestClose(); });

  QMenu* language = bar->addMenu(ToQt("&Sprache"));
  language->setObjectName("Sprache");
  menuItems_[MenuItem::Language] = language->menuAction();
  auto* group = new QActionGroup(language);
  group->setExclusive(true);
  const std::array<std::tuple<MenuItem, const char*, const char*>, 2> languages = {{
      {MenuItem::Deutsch, "Deutsch", "&Deutsch"},
      {MenuItem::Englisch, "Englisch", "&Englisch"},
  }};
  for (int tag = 0; tag < 2; ++tag) {
    const auto& [item, name, caption] = languages[tag];
    QAction* action = AddItem(language, name, caption, tag, [this, tag] { form_->LanguageClick(tag); });
    action->setCheckable(true);
    group->addAction(action);
    menuItems_[item] = action;
  }

  QMenu* help = bar->addMenu(ToQt("&Hilfe"));
  help->setObjectName("Help");
  AddItem(help, "Readme", "&Read me ...", 0, [this] { form_->ReadmeClick(); });
  AddItem(help, "SWVersion", "&Version ...", 0, [this] { form_->SWVersionClick(); });
  AddItem(help, "SaveRunLog", "&Save run log...", 0, [this] { SaveRunLog(); });
}

}  // namespace ui_qt
