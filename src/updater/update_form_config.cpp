// TUpdateForm: reading and writing the configuration, the catalogue's menu
// states and opening the ports.
#include "core/text_helpers.h"
#include "platform/files.h"
#include "updater/app_texts.h"
#include "updater/config_directory.h"
#include "updater/update_form.h"

namespace updater {
namespace {

std::string WithNumber(std::string_view text, std::int32_t number) {
  std::string out(text);
  const std::size_t x = out.find('X');
  if (x != std::string::npos) out.replace(x, 1, std::to_string(number));
  return out;
}

constexpr MenuItem kModelItems[4] = {MenuItem::Multi77x, MenuItem::PH77x, MenuItem::Oxi77x, MenuItem::Cond77x};

}  // namespace

std::string TUpdateForm::UpdateIniPath(const std::string& fileName) const {
  const std::string configDir = ConfigDirectory(installation_.workDir);
  return platform::ResolveCaseless(configDir.empty() ? installation_.workDir : configDir, fileName);
}

std::optional<ConfigLines> TUpdateForm::LoadUpdateIni(const std::string& fileName) const {
  std::optional<ConfigLines> lines = LoadConfigLines(UpdateIniPath(fileName));
  if (!lines) lines = LoadConfigLines(platform::ResolveCaseless(installation_.workDir, fileName));
  return lines;
}

void TUpdateForm::ShowConfigMissing(std::string_view text) {
  view_.MessageBox(text, texts::kCaptionError, BoxIcon::Error, BoxButtons::Ok);
}

int TUpdateForm::LoadUpdateSettings(const std::string& fileName) {
  const std::optional<ConfigLines> lines = LoadUpdateIni(fileName);
  if (!lines) {
    ShowConfigMissing(texts::kConfig1Missing);
    return -1;
  }
  settingsProblems_ = {};
  settings_ = ParseUpdateSettings(*lines, settingsProblems_);
  output_.SetLanguage(settings_.Language);
  ports_.SetLanguage(settings_.Language);
  LogSettingsProblems();
  return 0;
}

void TUpdateForm::LogSettingsProblems() {
  if (settingsProblems_.languageInvalid) view_.AddLogLine(output_.Pick(texts::kLanguageInvalid));
  for (std::int32_t code : settingsProblems_.droppedBaud) {
    view_.AddLogLine(WithNumber(output_.Pick(texts::kBaudInvalid), code));
  }
  if (settingsProblems_.comInvalid) {
    view_.AddLogLine(WithNumber(output_.Pick(texts::kComInvalid), settings_.FixedPortIndex + 1));
  }
}

int TUpdateForm::LoadDeviceProfiles(const std::string& fileName) {
  const std::string path = platform::ResolveCaseless(installation_.workDir, fileName);
  const std::optional<ConfigLines> lines = LoadConfigLines(path);
  if (!lines) {
    ShowConfigMissing(texts::kConfig2Missing);
    return -1;
  }
  profiles_ = ParseDeviceProfiles(*lines);
  if (profiles_.Table.empty()) {
    // Every run would end in "wrong device": the installation is at fault.
    ShowConfigMissing(core::ReplaceAll(output_.Pick(texts::kNoDeviceBlock), "FILE", path));
    return -1;
  }
  if (profiles_.startCmdInvalid) view_.AddLogLine(output_.Pick(texts::kStartCmdInvalid));
  return 0;
}

int TUpdateForm::SaveLanguage(const std::string& fileName) {
  const std::optional<ConfigLines> lines = LoadUpdateIni(fileName);
  if (!lines) {
    ShowConfigMissing(texts::kConfig1Missing);
    return -1;
  }
  // Written to the configuration directory even when read from the working
  // directory, so that the first save creates the file there.
  const std::string path = UpdateIniPath(fileName);
  if (!platform::WriteTextLines(path, LanguageFileLines(*lines, settings_.Language, settings_.Version))) {
    view_.MessageBox(std::string(output_.Pick(texts::kCannotWrite)) + path, texts::kCaptionError, BoxIcon::Error,
                     BoxButtons::Ok);
  }
  return 0;
}

void TUpdateForm::ShowCatalogue() {
  view_.ShowMenuItem(MenuItem::Programming, catalogue_.ProgrammingVisible);
  for (std::size_t i = 0; i < catalogue_.ModelEnabled.size(); ++i) {
    view_.EnableMenuItem(kModelItems[i], catalogue_.ModelEnabled[i]);
  }
  view_.EnableMenuItem(MenuItem::LabXXX, true);
  for (const std::string& name : catalogue_.DownloadList) view_.AddDownloadListItem(name);
}

bool TUpdateForm::EnsurePortsOpen() {
  ports_.ReconnectLost();
  if (ports_.OpenCount() > 0) return true;
  ports_.Reset();
  ports_.Scan();
  OpenPorts(!settingsProblems_.comInvalid);
  return ports_.OpenCount() > 0;
}

void TUpdateForm::OpenPorts(bool fixedPortValid) {
  if (!settings_.FixedPort && ports_.UsableCount() == 0) {
    view_.AddLogLine(output_.Pick(texts::kNoUsablePort));
    for (const std::string& reason : ports_.UnusableReasons()) view_.AddLogLine(reason);
    return;
  }
  view_.SetStatusPanel(0, ports_.Open(settings_, fixedPortValid));
  if (ports_.Count() == 0) return;
  std::string line(output_.Pick(texts::kPortsOpened));
  for (int i = 0; i < ports_.Count(); ++i) line += (i > 0 ? ", " : "") + ports_.Label(i);
  view_.AddLogLine(line);
}

}  // namespace updater
