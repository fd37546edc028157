#pragma once
// The texts of start-up, configuration and window output. Windows-1252, so
// umlauts are written as escapes ("\xE4" = a umlaut, "\xFC" = u umlaut).
#include "updater/bilingual_text.h"

namespace updater::texts {

// Shown by the start-up and the language change; German only.
inline constexpr std::string_view kConfig1Missing = "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet";
inline constexpr std::string_view kConfig2Missing = "Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet";
inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kCaptionInfo = "Info";
inline constexpr std::string_view kViewerFailed = "Programm konnte nicht gestartet werden!";
inline constexpr std::string_view kDebugMode = "Debug-Mode";
inline constexpr std::string_view kIgnoreVersion = "Software Vers. ignorieren";

// Placeholder NAME when the device record holds no device name.
inline constexpr BiText<20> kDefaultDeviceName{{"Ger\xE4t", "device"}};
// Application title and status panel 4 at the end of a run.
inline constexpr BiText<20> kUpdateReady{{"Update [beendet]", "Update [ready]"}};
// Dialog-text files of the window translation.
inline constexpr BiText<40> kTranslationFile{{"Update.Deu", "Update.Eng"}};
// Readme documents: for the sensor families (StartCmdIndex 2 and 3) and the others.
inline constexpr BiText<80> kReadmeSensors{
    {"Readme_Firmware-Update_NXS_Sensors_KVB-M_DE.pdf", "Readme_Firmware-Update_NXS_Sensors_KVB-M_DE.pdf"}};
inline constexpr BiText<80> kReadmeMeters{{"Firmwareupdate_Messgeraete.pdf", "Firmwareupdate_meters.pdf"}};

// Configuration values the tool cannot use; the run goes on with the fallback.
inline constexpr BiText<140> kLanguageInvalid{
    {"Update.ini: unbekannte Sprache, Deutsch wird verwendet.", "Update.ini: unknown language, German is used."}};
inline constexpr BiText<140> kBaudInvalid{
    {"Update.ini: ung\xFCltiger Baud-Code X wird \xFC" "bersprungen.", "Update.ini: invalid baud code X is skipped."}};
inline constexpr BiText<140> kComInvalid{
    {"Update.ini: ung\xFCltige Schnittstelle Com=X, es wird keine Schnittstelle ge\xF6" "ffnet.",
     "Update.ini: invalid port Com=X, no port is opened."}};
// The device profiles file holds no device block (empty, or not that file at all); FILE is its path.
inline constexpr BiText<200> kNoDeviceBlock{
    {"FILE enth\xE4lt keinen Ger\xE4teblock: die Datei ist leer oder besch\xE4" "digt. Programm wird beendet",
     "FILE holds no device block: the file is empty or damaged. The program ends"}};
inline constexpr BiText<140> kStartCmdInvalid{
    {"ProgDevice.ini: ung\xFCltiges DevStartCmd, 1 wird verwendet.", "ProgDevice.ini: invalid DevStartCmd, 1 is used."}};
inline constexpr BiText<200> kNoUsablePort{
    {"Keine nutzbare serielle Schnittstelle gefunden!\r\nGer\xE4t anschlie\xDF" "en, Berechtigung pr\xFC" "fen "
     "(Gruppe dialout) oder Schnittstellen mit --ports angeben.",
     "No usable serial port found!\r\nConnect the device, check the permissions (group dialout) "
     "or name the ports with --ports."}};

// The opened ports, each with its device: "Schnittstellen: COM1 (/dev/ttyUSB0)".
inline constexpr BiText<40> kPortsOpened{{"Schnittstellen: ", "Ports: "}};
// "Update.ini" could not be written (the language stays in force).
inline constexpr BiText<80> kCannotWrite{{"Datei kann nicht geschrieben werden: ", "Cannot write file: "}};

}  // namespace updater::texts
