#include "loaders/loader_texts.h"

#include <array>

namespace loaders {
namespace {

using updater::BiText;

constexpr BiText<80> kBootloaderError = {{
    "Fehler im Bootloader !!  Programmierung wurde abgebrochen.",
    "Error in bootloader !!  Programming abort.",
}};
constexpr BiText<80> kNotAvailable = {{
    "Bootloader im Zielger\xE4t nicht verf\xFCgbar!!  Programmierung wurde abgebrochen.",
    "bootloader in target not available!!  Programming abort.",
}};

constexpr BiText<40> kAbort = {{"Programmierung wurde abgebrochen.", "Programming abort."}};
constexpr BiText<120> kUntouched = {{
    "Es wurde nichts programmiert; das Ger\xE4t arbeitet mit seiner bisherigen Firmware weiter.",
    "Nothing was programmed; the instrument keeps running its present firmware.",
}};
constexpr BiText<120> kDataPhaseAgain = {{
    "Der Bootloader antwortet, hat den Schritt aber nicht ausgef\xFChrt: erneut l\xF6schen und programmieren.",
    "The boot loader answers but did not carry the step out: erasing and programming again.",
}};
constexpr BiText<12> kLine = {{"Zeile", "line"}};

struct FileErrorRow {
  TiTxtError error;
  BiText<80> text;
};

constexpr std::array<FileErrorRow, 17> kFileErrors = {{
    {TiTxtError::FileMissing, {{"Firmware-Datei nicht gefunden", "Firmware file not found"}}},
    {TiTxtError::FileTooLarge, {{"Firmware-Datei zu gro\xDF", "Firmware file too large"}}},
    {TiTxtError::TooManyBlocks, {{"Firmware-Datei hat zu viele Bl\xF6" "cke", "Firmware file has too many blocks"}}},
    {TiTxtError::LineTooLong,
     {{"Datenzeile mit mehr als 16 Bytes in der Firmware-Datei", "Data line with more than 16 bytes in firmware file"}}},
    {TiTxtError::DataWithoutAddress,
     {{"Daten vor der ersten Adresszeile der Firmware-Datei", "Data before the first address line of firmware file"}}},
    {TiTxtError::BadCharacter, {{"Ung\xFCltiges Zeichen in der Firmware-Datei", "Invalid character in firmware file"}}},
    {TiTxtError::NoData, {{"Firmware-Datei enth\xE4lt keine Daten", "Firmware file holds no data"}}},
    {TiTxtError::AddressTooHigh,
     {{"Adresse in der Firmware-Datei au\xDF" "erhalb des Speichers", "Address in firmware file beyond the memory"}}},
    {TiTxtError::LowAfterHigh,
     {{"Firmware-Datei: Daten unter 64 KB nach Daten dar\xFC" "ber",
       "Firmware file: data below 64 KB after data above it"}}},
    {TiTxtError::NoStartWord,
     {{"Firmware-Datei ohne Startadresse am Ende", "Firmware file without start address at its end"}}},
    {TiTxtError::FileUnreadable,
     {{"Firmware-Datei kann nicht gelesen werden", "Firmware file cannot be read"}}},
    {TiTxtError::NoEnd,
     {{"Firmware-Datei unvollst\xE4ndig, das abschlie\xDF" "ende \"q\" fehlt",
       "Firmware file incomplete, its closing \"q\" is missing"}}},
    {TiTxtError::FileEmpty, {{"Firmware-Datei ist leer", "Firmware file is empty"}}},
    {TiTxtError::BadRecord, {{"Ung\xFCltiger Datensatz in der Firmware-Datei", "Invalid record in firmware file"}}},
    {TiTxtError::BadChecksum, {{"Pr\xFC" "fsummenfehler in der Firmware-Datei", "Checksum error in firmware file"}}},
    {TiTxtError::NoEndRecord,
     {{"Firmware-Datei unvollst\xE4ndig, der Ende-Datensatz fehlt",
       "Firmware file incomplete, its end record is missing"}}},
    {TiTxtError::NoVersion,
     {{"Firmware-Datei enth\xE4lt keine Versionsangabe", "Firmware file holds no version"}}},
}};

}  // namespace

std::int32_t FailureCode(std::int32_t stepCode) {
  if ((stepCode >= 1 && stepCode <= 15) || stepCode == kStepNotAvailable) return stepCode;
  return kStepOutside;
}

std::string_view StepErrorText(std::int32_t resultCode, int language) {
  return (resultCode == kStepNotAvailable ? kNotAvailable : kBootloaderError).Pick(language);
}

std::string_view DataPhaseAgainNote(int language) { return kDataPhaseAgain.Pick(language); }

FileErrorText FileProblemText(TiTxtError error, std::string_view file, int line, int language) {
  std::string_view reason = kBootloaderError.Pick(language);
  for (const FileErrorRow& row : kFileErrors) {
    if (row.error == error) reason = row.text.Pick(language);
  }
  FileErrorText text;
  text.Append(reason).Append(": ").Append(file);
  if (line > 0) {
    core::FixedText<24> number;
    number.Format(" (%.*s %d)", static_cast<int>(kLine.Pick(language).size()), kLine.Pick(language).data(), line);
    text.Append(number);
  }
  return text;
}

FileErrorText FileErrorMessage(TiTxtError error, std::string_view file, int line, int language) {
  return FileProblemText(error, file, line, language).Append("\r\n").Append(kAbort.Pick(language));
}

FileErrorText FileRefusalMessage(TiTxtError error, std::string_view file, int line, int language) {
  return FileProblemText(error, file, line, language).Append("\r\n").Append(kUntouched.Pick(language));
}

}  // namespace loaders
