#pragma once
// The window program: what instrument-updater runs without --console.
#include "updater/update_form.h"

namespace ui_qt {

/// Exit codes of the window program (the same numbers as the console's).
enum WindowExit : int {
  kWindowClosed = 0,   ///< the user closed the window
  kWindowConfig = 4,   ///< a configuration file is missing (the message was shown), or
                       ///< the window was closed without an installation
  kWindowNoDisplay = 5,  ///< there is no display to open the window on
  kWindowInternalError = 6,  ///< an exception escaped the message loop (the message was shown)
};

/// True when Qt can open a window here: a display (DISPLAY or
/// WAYLAND_DISPLAY) is set, or QT_QPA_PLATFORM names a platform.
bool DisplayAvailable();

/// Opens the updater window and runs it until it is closed. With `dirGiven`
/// the window works on `startup` as it is; otherwise on the first of its
/// working folder, its program folder and the folder opened last that holds
/// an installation, or, when none does, it says where it looked and waits for
/// an installation folder to be opened. A folder opened in the window is
/// remembered, and a new window opens on it. Without a display it writes a
/// line to stderr that points to --console and returns kWindowNoDisplay.
/// Main thread; creates and destroys the QApplication itself.
int RunQtWindow(int argc, char** argv, const updater::Installation& startup, bool dirGiven);

/// Shows what escaped the message loop (standard error and a message box);
/// returns kWindowInternalError.
int ShowFatalError(const char* what);

}  // namespace ui_qt
