#include "loaders/wince_texts.h"

#include <array>

#include "updater/bilingual_text.h"

namespace loaders::wince {
namespace {

using updater::BiText;

struct ProblemRow {
  FileProblem problem;
  BiText<80> text;
};

constexpr std::array<ProblemRow, 3> kProblems = {{
    {FileProblem::Missing, {{"Datei f\xFCr das Ger\xE4t nicht gefunden", "File for the instrument not found"}}},
    {FileProblem::Unreadable,
     {{"Datei f\xFCr das Ger\xE4t nicht lesbar", "File for the instrument cannot be read"}}},
    {FileProblem::TooLarge,
     {{"Datei f\xFCr das Ger\xE4t gr\xF6\xDF" "er als 3000000 Bytes",
       "File for the instrument larger than 3000000 bytes"}}},
}};

constexpr BiText<100> kSilence = {{
    "Das Ger\xE4t hat 8 Sekunden lang nicht geantwortet",
    "The instrument did not answer for 8 seconds",
}};
constexpr BiText<60> kRefused = {{"Das Ger\xE4t hat die Daten abgelehnt (Antwort 261: ",
                                  "The instrument refused the data (reply 261: "}};
constexpr BiText<20> kDuring = {{", bei Datei ", ", at file "}};
constexpr BiText<40> kAbort = {{"\xDC" "bertragung abgebrochen.", "Transfer aborted."}};

constexpr BiText<120> kNegative = {{
    "Das Ger\xE4t hat den letzten Befehl abgelehnt (\"?\").",
    "The instrument refused the last command (\"?\").",
}};
constexpr BiText<80> kResend = {{
    "Das Ger\xE4t fordert den letzten Datenblock erneut an.",
    "The instrument asks for the last data block again.",
}};

constexpr BiText<120> kFileAgain = {{
    "Das Ger\xE4t antwortet, hat aber keinen Datenblock best\xE4tigt: die Datei wird erneut gesendet.",
    "The instrument answers but acknowledged no data block: the file is sent again.",
}};

MessageText& Close(MessageText& text, int language) { return text.Append("\r\n").Append(kAbort.Pick(language)); }

}  // namespace

MessageText FileProblemMessage(FileProblem problem, std::string_view file, int language) {
  MessageText text;
  for (const ProblemRow& row : kProblems) {
    if (row.problem == problem) text.Append(row.text.Pick(language));
  }
  text.Append(": ").Append(file);
  return Close(text, language);
}

MessageText SilenceMessage(std::string_view file, int language) {
  MessageText text(kSilence.Pick(language));
  text.Append(kDuring.Pick(language)).Append(file).Append(".");
  return Close(text, language);
}

MessageText RefusalMessage(std::string_view reply, std::string_view file, int language) {
  MessageText text(kRefused.Pick(language));
  text.Append(reply).Append(")").Append(kDuring.Pick(language)).Append(file).Append(".");
  return Close(text, language);
}

std::string_view NegativeReplyNote(int language) { return kNegative.Pick(language); }
std::string_view ResendNote(int language) { return kResend.Pick(language); }
std::string_view FileAgainNote(int language) { return kFileAgain.Pick(language); }

}  // namespace loaders::wince
