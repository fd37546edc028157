#include "ui/qt/installation_memory.h"

#include <QFile>
#include <QSettings>

namespace ui_qt {
namespace {

constexpr const char* kSettingsName = "instrument-updater";
constexpr const char* kFolderKey = "installation/folder";

QSettings UserSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
}

}  // namespace

std::string RememberedInstallation() {
  return QFile::encodeName(UserSettings().value(kFolderKey).toString()).toStdString();
}

void RememberInstallation(const std::string& folder) {
  UserSettings().setValue(kFolderKey, QFile::decodeName(folder.c_str()));
}

}  // namespace ui_qt
