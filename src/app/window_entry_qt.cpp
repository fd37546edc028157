#include "app/window_entry.h"
#include "ui/qt/qt_app.h"

int RunWindow(int argc, char** argv, const updater::Installation& installation, bool dirGiven) {
  return ui_qt::RunQtWindow(argc, argv, installation, dirGiven);
}
