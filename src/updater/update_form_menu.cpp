// TUpdateForm: the window's own handlers (buttons, menus, hidden keys) and the
// timers' handlers.
#include "platform/files.h"
#include "updater/app_texts.h"
#include "updater/update_form.h"

namespace updater {
namespace {

constexpr int kVersionBoxTrailingBlanks = 27;

}  // namespace

void TUpdateForm::OkBitBtnClick() {
  view_.EnableMenuItem(MenuItem::Language, false);
  events_.PostCommand(CMD_START);
  ProcessEvents();
}

void TUpdateForm::TG77xProgrammingClick(int tag) {
  if (workflow_) workflow_->TG77xProgrammingClick(tag);
}

void TUpdateForm::LabXXXClick() {
  if (workflow_) workflow_->LabXXXClick();
}

void TUpdateForm::LanguageClick(int tag) {
  if (tag != kGerman && tag != kEnglish) return;
  settings_.Language = tag;
  output_.SetLanguage(tag);
  ports_.SetLanguage(tag);
  view_.CheckMenuItem(tag == kEnglish ? MenuItem::Englisch : MenuItem::Deutsch, true);
  SaveLanguage("Update.ini");
  view_.Translate(output_.Pick(texts::kTranslationFile));
  view_.ClearLog();
  ShowStartText();
}

void TUpdateForm::ReadmeClick() {
  const std::int32_t index = profiles_.StartCmdIndex;
  const std::string_view name =
      output_.Pick(index == 2 || index == 3 ? texts::kReadmeSensors : texts::kReadmeMeters);
  if (!view_.OpenDocument(platform::ResolveCaseless(installation_.workDir, name))) {
    view_.SimpleMessage(texts::kViewerFailed);
  }
}

void TUpdateForm::SWVersionClick() {
  std::string text = "     Version ";
  text.append(settings_.Version.view()).append(kVersionBoxTrailingBlanks, ' ');
  view_.MessageBox(text, texts::kCaptionInfo, BoxIcon::Information, BoxButtons::Ok);
}

void TUpdateForm::FormKeyUp(HiddenKey key) {
  switch (key) {
    case HiddenKey::SetClock:
      if (workflow_) workflow_->SetInstrumentClock(true);
      break;
    case HiddenKey::ToggleDebug:
      output_.SetDebugMode(!output_.DebugMode());
      view_.SetInfoLabel(texts::kDebugMode, output_.DebugMode());
      break;
    case HiddenKey::ToggleVersionCheck:
      versionCheck_ = !versionCheck_;
      view_.SetInfoLabel(texts::kIgnoreVersion, !versionCheck_);
      break;
  }
}

}  // namespace updater
