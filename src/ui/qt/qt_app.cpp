#include "ui/qt/qt_app.h"

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/environment.h"
#include "ui/qt/installation_memory.h"
#include "ui/qt/installation_search.h"
#include "ui/qt/installation_texts.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_message_loop.h"

namespace ui_qt {
namespace {

// A window that says where it looked for an installation; it waits for one to
// be opened. Sets `opened` to the folder opened in it.
int RunWithoutInstallation(QtMessageLoop& loop, const InstallationSearch& search, std::optional<std::string>& opened) {
  TQtUpdateWindow window(loop, std::string());
  window.ShowNoInstallation(NoInstallationText(search.lookedIn, SampleInstallations(platform::ExecutableDirectory())));
  window.show();
  QApplication::exec();
  opened = window.OpenedInstallation();
  return kWindowConfig;
}

// The updater window on `installation`, until it is closed. Sets `opened`
// when the user opened another installation folder in it.
int RunOnInstallation(QtMessageLoop& loop, const updater::Installation& installation,
                      std::optional<std::string>& opened) {
  // Relative names (the serial settings file) are meant in the installation.
  if (::chdir(installation.workDir.c_str()) != 0) {
    std::cerr << "instrument-updater: cannot change into " << installation.workDir << "\n";
  }
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
  opened = window.OpenedInstallation();
  return exitCode;
}

}  // namespace

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

int RunQtWindow(int argc, char** argv, const updater::Installation& startup, bool dirGiven) {
  if (!DisplayAvailable()) {
    std::cerr << "instrument-updater: no display to open the window on (DISPLAY is not set); "
                 "run it in the terminal with --console.\n";
    return kWindowNoDisplay;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Update");
  QtMessageLoop loop;
  // --dir is taken as it is: a missing file there is the start-up's message.
  InstallationSearch search{startup, {}};
  if (!dirGiven) search = SearchInstallation(StartCandidates(startup, RememberedInstallation()));
  int exitCode = kWindowClosed;
  for (;;) {
    std::optional<std::string> opened;
    exitCode = search.found ? RunOnInstallation(loop, *search.found, opened)
                            : RunWithoutInstallation(loop, search, opened);
    if (!opened) break;
    RememberInstallation(*opened);
    search = InstallationSearch{updater::Installation{*opened, *opened}, {}};
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
