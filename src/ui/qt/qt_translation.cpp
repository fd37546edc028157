#include "ui/qt/qt_translation.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QWidget>
#include <vector>

#include "language/language.h"
#include "ui/qt/qt_text.h"

namespace ui_qt {
namespace {

using language::ControlClass;

// The exact class decides, as a derived class may show its text differently.
ControlClass ClassOf(const QWidget& widget) {
  const QMetaObject* meta = widget.metaObject();
  if (meta == &QLabel::staticMetaObject) return ControlClass::Label;
  if (meta == &QPushButton::staticMetaObject) {
    return static_cast<const QPushButton&>(widget).icon().isNull() ? ControlClass::Button : ControlClass::BitBtn;
  }
  if (meta == &QToolButton::staticMetaObject) return ControlClass::SpeedButton;
  if (meta == &QCheckBox::staticMetaObject) return ControlClass::CheckBox;
  if (meta == &QRadioButton::staticMetaObject) return ControlClass::RadioButton;
  if (meta == &QGroupBox::staticMetaObject) return ControlClass::GroupBox;
  if (meta == &QTabBar::staticMetaObject) return ControlClass::TabControl;
  if (meta == &QMenuBar::staticMetaObject) return ControlClass::MainMenu;
  if (meta == &QFrame::staticMetaObject) return ControlClass::Panel;
  return ControlClass::Other;
}

QString TabTitles(const QTabBar& bar) {
  QStringList titles;
  for (int i = 0; i < bar.count(); ++i) titles << bar.tabText(i);
  return titles.join(QChar('\n'));
}

QString CaptionOf(QWidget& widget, ControlClass kind) {
  switch (kind) {
    case ControlClass::Label:
      return static_cast<QLabel&>(widget).text();
    case ControlClass::GroupBox:
      return static_cast<QGroupBox&>(widget).title();
    case ControlClass::TabControl:
      return TabTitles(static_cast<QTabBar&>(widget));
    case ControlClass::Button:
    case ControlClass::BitBtn:
    case ControlClass::SpeedButton:
    case ControlClass::CheckBox:
    case ControlClass::RadioButton:
      return static_cast<QAbstractButton&>(widget).text();
    default:
      return {};
  }
}

void SetCaption(QWidget& widget, ControlClass kind, const QString& text) {
  switch (kind) {
    case ControlClass::Label:
      static_cast<QLabel&>(widget).setText(text);
      return;
    case ControlClass::GroupBox:
      static_cast<QGroupBox&>(widget).setTitle(text);
      return;
    case ControlClass::TabControl: {
      auto& bar = static_cast<QTabBar&>(widget);
      const QStringList titles = text.split(QChar('\n'));
      for (int i = 0; i < bar.count() && i < titles.size(); ++i) bar.setTabText(i, titles[i]);
      return;
    }
    case ControlClass::Button:
    case ControlClass::BitBtn:
    case ControlClass::SpeedButton:
    case ControlClass::CheckBox:
    case ControlClass::RadioButton:
      static_cast<QAbstractButton&>(widget).setText(text);
      return;
    default:
      return;
  }
}

// A submenu is named by its QMenu, a plain item by its QAction.
void DescribeMenu(const QList<QAction*>& actions, language::MenuNode& node) {
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    QMenu* sub = action->menu();
    const QString name = sub ? sub->objectName() : action->objectName();
    if (name.isEmpty()) continue;
    language::MenuNode item{FromQt(name), FromQt(sub ? sub->title() : action->text()), FromQt(action->statusTip()), {}};
    if (sub) DescribeMenu(sub->actions(), item);
    node.items.push_back(std::move(item));
  }
}

void ApplyMenu(const QList<QAction*>& actions, const language::MenuNode& node) {
  std::size_t next = 0;
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    QMenu* sub = action->menu();
    if ((sub ? sub->objectName() : action->objectName()).isEmpty()) continue;
    const language::MenuNode& item = node.items.at(next++);
    if (sub) {
      sub->setTitle(ToQt(item.caption));
      ApplyMenu(sub->actions(), item);
    } else {
      action->setText(ToQt(item.caption));
    }
    action->setStatusTip(ToQt(item.hint));
  }
}

struct DescribedWindow {
  language::DialogDescription description;
  std::vector<QWidget*> widgets;  // one per control, in the same order
};

DescribedWindow Describe(QWidget& window) {
  DescribedWindow out;
  out.description.name = FromQt(window.objectName());
  out.description.caption = FromQt(window.windowTitle());
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->objectName().isEmpty()) continue;
    language::Control control;
    control.name = FromQt(widget->objectName());
    control.kind = ClassOf(*widget);
    control.tag = widget->property("tag").toInt();
    control.caption = FromQt(CaptionOf(*widget, control.kind));
    control.hint = FromQt(widget->toolTip());
    if (control.kind == ControlClass::MainMenu) DescribeMenu(static_cast<QMenuBar*>(widget)->actions(), control.menu);
    out.description.controls.push_back(std::move(control));
    out.widgets.push_back(widget);
  }
  return out;
}

void Apply(const DescribedWindow& described, QWidget& window) {
  window.setWindowTitle(ToQt(described.description.caption));
  for (std::size_t i = 0; i < described.widgets.size(); ++i) {
    QWidget& widget = *described.widgets[i];
    const language::Control& control = described.description.controls[i];
    if (control.kind == ControlClass::Other) continue;
    if (control.kind == ControlClass::MainMenu) {
      ApplyMenu(static_cast<QMenuBar&>(widget).actions(), control.menu);
      continue;
    }
    SetCaption(widget, control.kind, ToQt(control.caption));
    widget.setToolTip(ToQt(control.hint));
  }
}

}  // namespace

bool TranslateWindow(language::TLanguage& language, QWidget& window) {
  DescribedWindow described = Describe(window);
  const bool saved = language.TranslateDialog(described.description);
  Apply(described, window);
  return saved;
}

}  // namespace ui_qt
