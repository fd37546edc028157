#include "ui/qt/qt_app.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_loop.h"

namespace ui_qt {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

int RunQtWindow(int argc, char** argv, const updater::Installation& installation) {
  if (!DisplayAvailable()) {
    std::cerr << "instrument-updater: no display to open the window on (DISPLAY is not set); "
                 "run it in the terminal with --console.\n";
    return kWindowNoDisplay;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Update");
  QtMessageLoop loop;
  TQtUpdateWindow window(loop, installation.workDir);
  int exitCode = kWindowClosed;
  try {
    updater::TUpdateForm form(loop, window, installation);
    window.AttachForm(&form);
    window.show();
    if (!form.Start()) {
      exitCode = kWindowConfig;
    } else if (!window.WindowClosed()) {
      QApplication::exec();
    }
    window.AttachForm(nullptr);
  } catch (const std::exception& error) {
    exitCode = ShowFatalError(error.what());
  } catch (...) {
    exitCode = ShowFatalError("unknown exception");
  }
  loop.Shutdown();
  return exitCode;
}

int ShowFatalError(const char* what) {
  // What escaped the message loop ends the program, but never without a word.
  std::cerr << "instrument-updater: " << what << "\n";
  QMessageBox::critical(nullptr, "Error", QString::fromLocal8Bit(what));
  return kWindowInternalError;
}

}  // namespace ui_qt
