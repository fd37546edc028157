#include "ui/qt/installation_texts.h"

#include <QFile>

#include "ui/qt/qt_text.h"
#include "updater/bilingual_text.h"

namespace ui_qt {
namespace {

using updater::BiText;
using updater::kEnglish;
using updater::kGerman;

constexpr BiText<100> kNoInstallation{
    {"Keine Installation gefunden: keiner dieser Ordner enth\xE4lt Update.ini und ProgDevice.ini:",
     "No installation found: none of these folders holds Update.ini and ProgDevice.ini:"}};
constexpr BiText<40> kWorkingFolder{{"Arbeitsordner", "working folder"}};
constexpr BiText<40> kProgramFolder{{"Programmordner", "program folder"}};
constexpr BiText<40> kRememberedFolder{{"zuletzt ge\xF6" "ffneter Ordner", "folder opened last"}};
constexpr BiText<160> kHowToOpen{
    {"\xD6" "ffnen Sie den Ordner einer Installation mit \"Datei / Installationsordner \xF6" "ffnen ...\".",
     "Open the folder of an installation with \"Datei / Installationsordner \xF6" "ffnen ...\" "
     "(File / Open installation folder)."}};
constexpr BiText<100> kSamples{{"Beispiel-Installationen (zuerst in einen eigenen Ordner kopieren):",
                                "Sample installations (copy one to a folder of your own first):"}};
constexpr BiText<80> kNotAnInstallation{{"Dieser Ordner enth\xE4lt nicht Update.ini und ProgDevice.ini.",
                                         "This folder does not hold Update.ini and ProgDevice.ini."}};
constexpr BiText<80> kOpenCaption{{"Installationsordner \xF6" "ffnen", "Open installation folder"}};

QString Path(const std::string& folder) { return QFile::decodeName(folder.c_str()); }

std::string_view RoleText(FolderRole role, int language) {
  switch (role) {
    case FolderRole::Working:
      return kWorkingFolder.Pick(language);
    case FolderRole::Program:
      return kProgramFolder.Pick(language);
    case FolderRole::Remembered:
      break;
  }
  return kRememberedFolder.Pick(language);
}

QString InLanguage(int language, const std::vector<Candidate>& lookedIn, const std::string& samples) {
  QString text = ToQt(kNoInstallation.Pick(language)) + "\n";
  for (const Candidate& candidate : lookedIn) {
    text += "    " + ToQt(RoleText(candidate.role, language)) + ": " + Path(candidate.folder) + "\n";
  }
  text += ToQt(kHowToOpen.Pick(language)) + "\n";
  if (!samples.empty()) text += ToQt(kSamples.Pick(language)) + "\n    " + Path(samples) + "\n";
  return text;
}

}  // namespace

QString NoInstallationText(const std::vector<Candidate>& lookedIn, const std::string& samples) {
  return InLanguage(kGerman, lookedIn, samples) + "\n" + InLanguage(kEnglish, lookedIn, samples);
}

QString NotAnInstallationText(const std::string& folder) {
  return Path(folder) + "\n\n" + ToQt(kNotAnInstallation.Pick(kGerman)) + "\n" +
         ToQt(kNotAnInstallation.Pick(kEnglish));
}

QString OpenInstallationCaption() {
  return ToQt(kOpenCaption.Pick(kGerman)) + " / " + ToQt(kOpenCaption.Pick(kEnglish));
}

}  // namespace ui_qt
