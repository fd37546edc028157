#pragma once
// What the window says about finding an installation. Without an installation
// the language is not known yet, so each text holds German and English.
#include <QString>
#include <string>
#include <vector>

#include "ui/qt/installation_search.h"

namespace ui_qt {

/// The log text of a window without installation: the folders looked in, how
/// to open one, and the sample installations when `samples` names them.
QString NoInstallationText(const std::vector<Candidate>& lookedIn, const std::string& samples);

/// The message for a chosen folder that holds no installation.
QString NotAnInstallationText(const std::string& folder);

/// The caption of the folder dialog.
QString OpenInstallationCaption();

}  // namespace ui_qt
