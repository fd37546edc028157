#pragma once
// What the translation component sees of a window: its name and caption and,
// in creation order, the controls that may carry translatable texts. A window
// toolkit fills this in from its widgets, lets TLanguage translate it and
// writes the captions and hints back (src/ui/qt/qt_translation.h does so for
// Qt). Texts are 8-bit Windows-1252 and may hold "\r\n" line breaks.
#include <string>
#include <vector>

namespace language {

/// The control classes whose texts are translated. Each stands for one widget
/// class of the toolkit, matched exactly (a derived class is `Other`); the Qt
/// front end maps them like this:
///
/// | Class        | Qt widget                                   | Text translated          |
/// |--------------|---------------------------------------------|--------------------------|
/// | CheckBox     | QCheckBox                                   | text()                   |
/// | Button       | QPushButton                                 | text()                   |
/// | BitBtn       | QPushButton with an icon                    | text()                   |
/// | SpeedButton  | QToolButton                                 | text()                   |
/// | RadioButton  | QRadioButton                                | text()                   |
/// | Label        | QLabel                                      | text()                   |
/// | StaticText   | QLabel with a sunken frame                  | text()                   |
/// | Panel        | QFrame (a QLabel panel counts as Label)     | (no text of its own)     |
/// | GroupBox     | QGroupBox                                   | title()                  |
/// | RadioGroup   | QGroupBox holding radio buttons             | title()                  |
/// | TabSheet     | a page of a QTabWidget                      | its tab text             |
/// | TabControl   | QTabBar                                     | all tab texts, one a line|
/// | MainMenu     | QMenuBar                                    | the items (MenuNode)     |
///
/// Hints are tool tips; a menu item's hint is its status tip.
enum class ControlClass {
  CheckBox,
  Button,
  BitBtn,
  SpeedButton,
  RadioButton,
  Label,
  StaticText,
  Panel,
  GroupBox,
  RadioGroup,
  TabSheet,
  TabControl,
  MainMenu,
  Other,  ///< any other class: never translated
};

/// One menu item and the items below it.
struct MenuNode {
  std::string name;
  std::string caption;
  std::string hint;
  std::vector<MenuNode> items;
};

struct Control {
  std::string name;
  ControlClass kind = ControlClass::Other;
  int tag = 0;
  std::string caption;  ///< for a TabControl: the tab titles, one per line ("\r\n")
  std::string hint;
  MenuNode menu;  ///< for a MainMenu: its root item (only `items` is used)
};

struct DialogDescription {
  std::string name;     ///< the window's name, the key of its caption
  std::string caption;  ///< the window's caption
  std::vector<Control> controls;
};

}  // namespace language
