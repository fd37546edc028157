#pragma once
// The installation folder the user opened last in the window, kept between
// starts in the user's settings
// (~/.config/instrument-updater/instrument-updater.conf). Main thread; needs
// the QApplication.
#include <string>

namespace ui_qt {

/// The folder remembered last; empty when there is none.
std::string RememberedInstallation();

/// Remembers `folder` for the next start.
void RememberInstallation(const std::string& folder);

}  // namespace ui_qt
