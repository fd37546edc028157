#pragma once
// The user texts of the Basic-Loader download, German and English
// (Windows-1252). NAME and COM X are replaced before a line is shown; FILE and
// BYTES by the download.
#include "updater/bilingual_text.h"

namespace loaders::basic {

inline constexpr updater::BiText<60> kPreparing{
    {"--------------------\r\nProgramm wird vorbereitet !!",
     "--------------------\r\nPreparing program !!"}};

inline constexpr updater::BiText<40> kProgramming{
    {"\r\nNAME wird programmiert !!\r\n\r\n", "\r\nProgramming NAME !!\r\n\r\n"}};

inline constexpr updater::BiText<300> kSucceeded{
    {"--------------------\r\nProgramm erfolgreich \xFC"
     "berspielt !\r\n\r\n"
     "Trennen Sie das NAME vom Steckernetzteil und der Schnittstelle COM X.\r\n\r\n"
     "Stecken Sie danach das Netzteil wieder an und starten Sie das NAME\r\n"
     "Beenden Sie das Windows-Programm unter Datei/Beenden.",
     "--------------------\r\nProgram successfully programmed !\r\n\r\n"
     "Disconnect the NAME from power supply unit and COM X.\r\n\r\n"
     "Connect the NAME with the power supply unit and start the NAME\r\n"
     "Close the window program with File/Exit."}};

inline constexpr updater::BiText<40> kTransmitError{
    {"Fehler in der Daten\xFC"
     "bertragung !!\r\n",
     "Transmit error !!\r\n"}};

inline constexpr updater::BiText<240> kAborted{
    {"Programmierung abgebrochen !\r\n"
     "Trennen Sie das NAME vom Steckernetzteil und der Schnittstelle COM X.\r\n"
     "Beenden Sie das Windows-Programm unter Datei/Beenden und starten Sie das Programm erneut "
     "f\xFC"
     "r eine Neuprogrammierung.",
     "Programming abort !\r\n"
     "Disconnect the NAME from power supply unit and COM X.\r\n"
     "Close the window program with File/Exit and start the program for a new download"}};

/// Caption of the download's message boxes (blanks included).
inline constexpr updater::BiText<12> kBoxCaption{{" Error ", " Error "}};

inline constexpr updater::BiText<80> kCannotOpen{
    {"FILE konnte nicht ge\xF6"
     "ffnet werden",
     "Unable to open FILE"}};

inline constexpr updater::BiText<200> kTooLarge{
    {"FILE ist gr\xF6\xDF"
     "er als BYTES Bytes und wird nicht gesendet: das Ger\xE4t bek\xE4me eine "
     "abgeschnittene Firmware.",
     "FILE is larger than BYTES bytes and is not sent: the instrument would get a truncated "
     "firmware."}};

inline constexpr updater::BiText<120> kEmpty{
    {"FILE ist leer und wird nicht gesendet.", "FILE is empty and is not sent."}};

/// Logged when the Basic-Loader has sent nothing for SECONDS s while the
/// download waited for it.
inline constexpr updater::BiText<120> kSilent{{"Keine Antwort vom Basic-Loader seit SECONDS s.",
                                               "No answer from the Basic-Loader for SECONDS s."}};

}  // namespace loaders::basic
