#pragma once
// The texts of a run: search, identification, programming and the service
// steps. Windows-1252 ("\xE4" a umlaut, "\xF6" o umlaut, "\xFC" u umlaut,
// "\xDC" U umlaut, "\xDF" sharp s). A single "X" is filled in by the step that
// shows the text; NAME, COM X and DATEI by the placeholder replacement.
#include "updater/bilingual_text.h"

namespace updater::texts {

inline constexpr BiText<12> kCaptionFehler{{"Fehler", "Error"}};
inline constexpr BiText<12> kCaptionInfoBi{{"Info", "Info"}};

// Programming and storing.
inline constexpr BiText<80> kProgramming{{"NAME wird programmiert !!\r\n\r\n", "Programming NAME !!\r\n\r\n"}};
inline constexpr BiText<80> kStoring{
    {"Neue Daten werden gespeichert !!\r\nBitte warten ...\r\n", "Store new data !!\r\nPlease wait ...\r\n"}};

inline constexpr BiText<100> kInterrupted{
    {"Der Vorgang wurde vom Benutzer unterbrochen.\r\n", "The run was interrupted by the user.\r\n"}};

inline constexpr BiText<100> kNoReportAfterProgramming{
    {"Das Ger\xE4t meldet sich nach dem Programmieren nicht.\r\n",
     "The instrument does not report after programming.\r\n"}};

// The search's failure boxes, by failure count, and the boot-loader hint.
inline constexpr BiText<180> kNoDeviceFound{
    {"Kein Ger\xE4t gefunden !!\r\nIst das Ger\xE4t auch richtig angeschlossen und eingeschalten ?\r"
     "Automatische Suche wiederholen mit Ok",
     "No device found !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic search with Ok"}};
inline constexpr BiText<80> kNoNameFound{
    {"Kein NAME gefunden !!\r\nProgramm wird abgebrochen !!", "No NAME found !!\r\nProgram is aborted !!"}};
inline constexpr BiText<180> kTransmitError{
    {"\xDC" "bertragungsfehler !!\r\nIst das Ger\xE4t auch richtig angeschlossen und eingeschalten ?\r"
     "Automatische Suche wiederholen mit Ok",
     "Transmit error !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic search with Ok"}};
inline constexpr BiText<80> kHintConfirm{
    {"Best\xE4tigen Sie dies danach mit dem Ok-Button!\r\n", "Confirm with the Ok-button!\r\n"}};

// Identification and version check.
inline constexpr BiText<40> kWrongDevice{{"Falsches Ger\xE4t angeschlossen !!", "Wrong device connected !!"}};
inline constexpr BiText<200> kWrongDeviceLog{
    {"Der Download ist f\xFCr ein NAME !\r\nSie haben ein falsches Ger\xE4t angeschlossen oder verwenden ein "
     "falsches Downloadprogramm.",
     "Download is for an NAME !\r\nWrong device connected or wrong download program used."}};
inline constexpr BiText<40> kNoValidVersion{{"keine g\xFCltige Software-Version !!", "No valid software version !!"}};
inline constexpr BiText<200> kInstrumentNewer{
    {"Die Software-VersionX in Ihrem Ger\xE4t ist aktueller als die, die das Downloadprogramm anbietet.",
     "The software versionX in your device is more up to date then the download program can provide."}};
inline constexpr BiText<140> kSameVersion{
    {"Die aktuelle Software-VersionX ist schon im Ger\xE4t.\r\nWollen Sie trotzdem den Download fortsetzen ?",
     "The latest software versionX is already in device.\r\nDo you want to continue the download nevertheless?"}};
inline constexpr BiText<200> kSerialInterface{
    {"Die Software f\xFCr die Sensoridentifizierung kann \xFC" "ber die RS232 Schnittstelle nicht aktuallisiert "
     "werden! (nur \xFC" "ber USB)\r\nWollen Sie trotzdem den Download f\xFCr die Ger\xE4tesoftware fortsetzen ?",
     "The software for sensor identification cannot be actualized via RS232 Interface! (Only via USB)\r\n"
     "Do you want to continue the download for the instruments software nevertheless?"}};
// German only, asked of instruments that answer without their sensor.
inline constexpr std::string_view kNoDigitalSensor = "kein digitaler Sensor angeschlossen ?\r\n\r\nTrotzdem fortfahren ?";

// Service steps.
inline constexpr BiText<300> kSuccess{
    {"--------------------\r\nDownload erfolgreich ausgef\xFChrt !\r\n\r\nTrennen Sie das NAME von der "
     "Schnittstelle COM X.\r\n\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.",
     "--------------------\r\nDownload successfully completed !\r\n\r\nDisconnect the NAME from the COM X port."
     "\r\n\r\nExit the Windows program under File/Exit."}};
inline constexpr BiText<80> kDownloadTime{
    {"Der Download kann bis zu X Minuten dauern!\r\n\r\n", "The download may last up to X minutes !\r\n\r\n"}};

// Failures this tool reports in its own words.
inline constexpr BiText<140> kCannotOpenFile{
    {"Datei kann nicht ge\xF6" "ffnet werden: ", "Cannot open file: "}};
inline constexpr BiText<200> kTooManyExtraFiles{
    {"Mehr als 200 Zusatzdateien: die weiteren werden ignoriert: ",
     "More than 200 extra files: the further ones are ignored: "}};
inline constexpr BiText<200> kNoHandlerForBin{
    {"F\xFCr .BIN-Dateien gibt es kein externes Programmierwerkzeug.",
     "There is no external programming tool for .BIN files."}};
inline constexpr BiText<200> kLoaderUnavailable{
    {"Dieser Programmierweg ist in dieser Version noch nicht verf\xFC" "gbar.",
     "This programming path is not yet available in this version."}};

// Identification only: the offered version and the version check's verdict.
inline constexpr BiText<40> kOnOffer{{"Angebotene Version: ", "Version on offer: "}};
inline constexpr BiText<140> kVerdictProgram{
    {"Die Versionspr\xFC"
     "fung w\xFC"
     "rde das Ger\xE4t programmieren.",
     "The version check would program the instrument."}};
inline constexpr BiText<140> kVerdictSame{
    {"Gleiche Version: das Ger\xE4t w\xFC"
     "rde nur nach R\xFC"
     "ckfrage programmiert.",
     "Same version: the instrument would be programmed only after asking."}};
inline constexpr BiText<140> kVerdictNewer{
    {"Die Software im Ger\xE4t ist neuer: es w\xFC"
     "rde nicht programmiert.",
     "The instrument's software is newer: it would not be programmed."}};

}  // namespace updater::texts
