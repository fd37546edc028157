#include "loaders/external_texts.h"

#include <string>

#include "updater/bilingual_text.h"

namespace loaders::external {
namespace {

using updater::BiText;

constexpr BiText<80> kNotStarted = {{"Das Programmierprogramm konnte nicht gestartet werden",
                                     "The programming tool could not be started"}};
constexpr BiText<40> kNotFound = {{"nicht gefunden", "not found"}};
constexpr BiText<40> kNotExecutable = {{"nicht ausf\xFChrbar", "not executable"}};
constexpr BiText<40> kFailed = {{"Start vom System abgelehnt", "refused by the system"}};
constexpr BiText<40> kTool = {{"Das Programmierprogramm ", "The programming tool "}};
constexpr BiText<40> kEndedWith = {{" endete mit dem Fehlercode ", " ended with exit code "}};
constexpr BiText<120> kEndUnknown = {
    {" hat sich beendet, sein Ergebnis ist aber unbekannt; das Ger\xE4t gilt als nicht "
     "programmiert.",
     " has ended, but its result is unknown; the instrument counts as not programmed."}};
constexpr BiText<40> kStartAgain = {{" wird erneut gestartet.", " is started once more."}};
constexpr BiText<80> kPic32Port = {
    {"Das PIC32-Programmierprogramm kann nur COM1 bis COM9 verwenden",
     "The PIC32 programming tool can use COM1 to COM9 only"}};
constexpr BiText<40> kInstrumentOn = {{"; das Ger\xE4t ist an COM", "; the instrument is on COM"}};
constexpr BiText<120> kNameTooLong = {
    {"Der Dateiname ist f\xFCr die Updater-Bibliothek zu lang (h\xF6"
     "chstens 79 Zeichen): ",
     "The file name is too long for the updater library (79 characters at most): "}};
constexpr BiText<100> kLibraryFailed = {
    {"Die Updater-Bibliothek konnte das Ger\xE4t nicht programmieren.",
     "The updater library could not program the instrument."}};
constexpr BiText<100> kNoPort = {
    {"Keine serielle Schnittstelle zum \xDC"
     "bergeben.",
     "No serial port to hand over."}};

std::string_view Reason(platform::StartError error, int language) {
  switch (error) {
    case platform::StartError::kNotFound:
      return kNotFound.Pick(language);
    case platform::StartError::kNotExecutable:
      return kNotExecutable.Pick(language);
    default:
      return kFailed.Pick(language);
  }
}

}  // namespace

MessageText NotStartedMessage(std::string_view path, platform::StartError error, int language) {
  MessageText text(kNotStarted.Pick(language));
  return text.Append(" (").Append(Reason(error, language)).Append("): ").Append(path);
}

MessageText ToolFailedMessage(std::string_view tool, int exitCode, int language) {
  MessageText text(kTool.Pick(language));
  return text.Append(tool)
      .Append(kEndedWith.Pick(language))
      .Append(std::to_string(exitCode))
      .Append(".");
}

MessageText ToolEndUnknownMessage(std::string_view tool, int language) {
  MessageText text(kTool.Pick(language));
  return text.Append(tool).Append(kEndUnknown.Pick(language));
}

MessageText StartAgainNote(std::string_view tool, int language) {
  MessageText text(kTool.Pick(language));
  return text.Append(tool).Append(kStartAgain.Pick(language));
}

MessageText Pic32PortMessage(int comNumber, int language) {
  MessageText text(kPic32Port.Pick(language));
  return text.Append(kInstrumentOn.Pick(language)).Append(std::to_string(comNumber)).Append(".");
}

MessageText NameTooLongMessage(std::string_view file, int language) {
  MessageText text(kNameTooLong.Pick(language));
  return text.Append(file);
}

std::string_view LibraryFailedMessage(int language) { return kLibraryFailed.Pick(language); }
std::string_view NoPortMessage(int language) { return kNoPort.Pick(language); }

}  // namespace loaders::external
