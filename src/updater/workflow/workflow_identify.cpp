// TWorkflow: identification of the instrument, the device profile it matches,
// the offered versions and the decision whether to program.
#include <cstdlib>

#include "platform/files.h"
#include "updater/workflow/offered_version.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

// Removes everything up to and including the first ","; false when there is none.
template <std::size_t N>
bool DropThroughComma(core::FixedText<N>& text) {
  const std::size_t comma = text.view().find(',');
  if (comma == std::string_view::npos) return false;
  text = text.view().substr(comma + 1);
  return true;
}

// Erase values: hexadecimal when written with "0x", decimal otherwise.
std::int32_t EraseValue(const char* text) {
  const bool hex = Contains(text, "0x");
  return static_cast<std::int32_t>(std::strtol(text, nullptr, hex ? 16 : 10));
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// Replaces the first "X" of a text (a version or a number).
std::string WithFirstX(std::string_view text, std::string_view value) {
  std::string out(text);
  const std::size_t x = out.find('X');
  if (x != std::string::npos) out.replace(x, 1, value);
  return out;
}

constexpr std::string_view kDeviceNumbersWithBasicLoader[] = {"21130", "21030", "21157", "21871"};
constexpr std::size_t kDefaultAnswerLength = 8;
constexpr std::size_t kLongAnswer = 10;  // answers this long never fall back to the wildcard profile
constexpr unsigned kLabSyncAnswer = 0x90;

}  // namespace

int TWorkflow::Identify() {
  DeviceProfiles& profiles = Profiles();
  DeviceRecord& record = Record();
  profiles.StartCmdIndex = profiles.StartCmdIndexCopy;
  force_ = false;
  queryFlag_ = true;
  View().ShowPanel(Panel::Wait, false);

  const bool commaAnswers = StartCmdIndex() == 2 || StartCmdIndex() == 3;
  std::size_t answerLength = kDefaultAnswerLength;
  bool noComma = false;
  if (commaAnswers) {
    answerLength = record.DeviceNumber.size();
    noComma = !DropThroughComma(record.DeviceNumber);
    UseAnswerAfterComma();
  }
  int profile = SelectProfile(answerLength);
  if (profile >= 0) FillRecord(profile);
  // A profile that matches names a file the installation must have; without
  // it the instrument is not wrong, the installation is.
  if (profile >= 0 && !ProfileFilesFound()) return kFileRefused;
  if (Refused(profile)) {
    View().MessageBox(Output().Pick(texts::kWrongDevice), Output().Pick(texts::kCaptionFehler), BoxIcon::Error,
                      BoxButtons::Ok);
    ListKnownTypes();
    return 0;
  }
  if (commaAnswers) {
    record.InstrumentVersion = record.SecondVersion;
    record.SecondVersion = 0;
    DropThroughComma(record.InstrumentVersionText);
    if (noComma) {
      if (!TakeAnswerWithoutSensor()) return 0;
      profile = 0;
    }
    DropThroughComma(record.SerialNumber);
    record.SetKeepsBootLoaderRate(1, record.KeepsBootLoaderRate(0));
    if (StartCmdIndex() == 3) {
      profiles.StartCmdIndex = 2;
      loaderMode_ = 1;
      entryCommand_ = record.WithoutSensor() ? "A.1231\r\n" : "A.1230\r\n";
    }
  }
  record.DeviceName = profiles.Table[static_cast<std::size_t>(profile)].DeviceName.view();
  ShowIdentity();

  const std::string offered = ReadOfferedVersion(record.SWKenn2.c_str(), record.MainFile.c_str());
  View().SetStatusPanel(3, "Version " + offered);
  if (!VersionFound(offered, record.SWKenn2, record.MainFile)) return kFileRefused;
  startupProgramIndex_ = 0;
  lastScannedIndex_ = 0;
  if (record.ExtraFileCount > 0) ScanExtraFiles();
  for (std::string_view number : kDeviceNumbersWithBasicLoader) {
    if (Contains(record.DeviceNumber, number)) record.SecondComponentFile = "l3_terml.a37";
  }
  if (!record.SWKenn1.empty()) {
    const std::string first = ReadOfferedVersion(record.SWKenn1.c_str(), record.FirstFile.c_str());
    View().AppendStatusPanel(3, " / " + first);
    if (!VersionFound(first, record.SWKenn1, record.FirstFile)) return kFileRefused;
  }
  if (!record.SWKenn3.empty()) {
    const std::string second = ReadOfferedVersion(record.SWKenn3.c_str(), record.SecondComponentFile.c_str());
    View().AppendStatusPanel(3, " / " + second);
    if (!VersionFound(second, record.SWKenn3, record.SecondComponentFile)) return kFileRefused;
  }
  return form_.IdentifyOnly() ? GiveVerdict() : Decide();
}

void TWorkflow::UseAnswerAfterComma() {
  DeviceRecord& record = Record();
  DropThroughComma(record.PcbNumber);
  // The digits after the "." come from the PCB answer.
  std::string device(record.DeviceNumber.view());
  const std::size_t dot = device.find('.');
  const std::size_t from = dot == std::string::npos ? 0 : dot + 1;
  const std::string_view pcb = record.PcbNumber.view();
  for (std::size_t i = from; i < from + 3 && i < device.size() && i < pcb.size(); ++i) device[i] = pcb[i];
  record.DeviceNumber = device;
}

int TWorkflow::SelectProfile(std::size_t answerLength) const {
  const DeviceRecord& record = form_.Record();
  const std::vector<DeviceProfile>& table = form_.Profiles().Table;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (Contains(record.DeviceNumber, table[i].DeviceNr)) return static_cast<int>(i);
  }
  if (Contains(record.PcbNumber, record.DeviceNumber)) {
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (Contains(record.PcbNumber, table[i].DeviceNrDef)) return static_cast<int>(i);
    }
  }
  const bool wildcard = !table.empty() && Contains(table[0].DeviceNrDef, "XXXXX");
  return wildcard && answerLength < kLongAnswer ? 0 : -1;
}

bool TWorkflow::Refused(int profile) const {
  if (profile < 0) return true;
  const DeviceRecord& record = form_.Record();
  bool inCatalogue = false;
  for (const FileCatalogue::Name& name : form_.Catalogue().Files) {
    inCatalogue = inCatalogue || Contains(record.MainFile, name);
  }
  if (!inCatalogue) return true;
  return !record.BootLoaderId.empty() && !Contains(record.BootLoaderId, record.BootLoadKenn);
}

void TWorkflow::ListKnownTypes() {
  DeviceRecord& record = Record();
  std::string list(record.DeviceName.view());
  for (const DeviceProfile& known : Profiles().Table) {
    if (!Contains(record.DeviceName, known.DeviceName)) list.append(known.DeviceName.view()).append(", ");
  }
  record.DeviceName = list;
  // The log line gets the whole list, however many types there are.
  View().AddLogLine(FormatPlaceholders(Output().Pick(texts::kWrongDeviceLog),
                                       {record.MainFile, list, Language(), Output().FoundComNumber()}));
}

bool TWorkflow::TakeAnswerWithoutSensor() {
  if (!AskYes(texts::kNoDigitalSensor, Output().Pick(texts::kCaptionInfoBi))) return false;
  DeviceRecord& record = Record();
  record.SetWithoutSensor(true);
  queryFlag_ = false;
  record.InstrumentVersionText = "X.XX";
  record.DeviceNumber = Profiles().Table[0].DeviceNr.view();
  record.SerialNumber = "XXXXXXXX";
  return true;
}

void TWorkflow::ShowIdentity() {
  const DeviceRecord& record = Record();
  std::string name(record.DeviceNumber.view());
  name.append("  [").append(record.DeviceName.view()).append("]");
  View().SetIdentityField(IdentityField::Name, name);
  View().SetIdentityField(IdentityField::Serial, record.SerialNumber);
  View().SetIdentityField(IdentityField::Pcb, record.PcbNumber);
  View().SetIdentityField(IdentityField::Version, record.InstrumentVersionText);
}

void TWorkflow::ScanExtraFiles() {
  DeviceRecord& record = Record();
  std::int32_t best = record.OfferedVersion;
  core::FixedText<16> bestText = record.OfferedVersionText.view();
  std::int32_t i = 0;
  for (;; ++i) {
    record.OfferedVersionText.Clear();
    const DeviceRecord::FileName file = record.ExtraFiles[static_cast<std::size_t>(i)];
    ReadOfferedVersion(record.SWKenn2.c_str(), file.c_str());
    if (record.OfferedVersion > best) {
      best = record.OfferedVersion;
      bestText = record.OfferedVersionText.view();
    }
    if (Contains(file, "TARVOSTARTUP.EXE")) {
      record.ThirdOfferedVersion = record.OfferedVersion;
      startupProgramIndex_ = i;
    }
    if (i + 1 >= record.ExtraFileCount) break;
    const std::string_view next = record.ExtraFiles[static_cast<std::size_t>(i) + 1].view();
    if (!Contains(next, ".EXE") && !Contains(next, ".DLL")) break;
  }
  if (startupProgramIndex_ > 0) {
    lastScannedIndex_ = i;
    Send("A.2100\r\n");
    // The instrument's start-up program version (reply 2011) arrives meanwhile.
    form_.Wait().DelayTime(3000, true);
  }
  View().SetStatusPanel(3, "Version " + std::string(bestText.view()));
  record.OfferedVersionText = bestText.view();
  record.OfferedVersion = best;
}

void TWorkflow::FillRecord(int profile) {
  const std::vector<DeviceProfile>& table = Profiles().Table;
  const DeviceProfile& source = table[static_cast<std::size_t>(profile)];
  DeviceRecord& record = Record();
  extraFilesDropped_ = false;
  record.ProzTyp = source.ProzTyp;

  const std::string_view main = source.ProgFile2.view();
  const std::size_t mainComma = main.find(',');
  record.MainFile = main.substr(0, mainComma);
  if (mainComma != std::string_view::npos) AddItems(main.substr(mainComma + 1));
  record.FirstFile = source.ProgFile1.view();
  const std::string_view second = source.ProgFile3.view();
  const std::size_t secondComma = second.find(',');
  record.SecondComponentFile = second.substr(0, secondComma);
  if (secondComma != std::string_view::npos) AddItems(second.substr(secondComma + 1));

  if (record.MainFile.view().ends_with('@')) {
    record.MainFile.Truncate(record.MainFile.size() - 1);
    record.SetKeepsBootLoaderRate(0, true);
  }
  if (record.SecondComponentFile.view().ends_with('@')) {
    record.SecondComponentFile.Truncate(record.SecondComponentFile.size() - 1);
    record.SetKeepsBootLoaderRate(1, true);
  }
  record.SWKenn1 = source.SWKenn1.view();
  record.SWKenn2 = source.SWKenn2.view();
  record.SWKenn3 = source.SWKenn3.view();
  record.BootLoadKenn = source.BootLoadKenn.view();
  record.FlashErase1 = EraseValue(source.FlashErase1.c_str());
  record.FlashErase2 = EraseValue(source.FlashErase2.c_str());
  record.FlashErase3 = EraseValue(source.FlashErase3.c_str());

  if (static_cast<unsigned char>(labModel_) + static_cast<unsigned>(profile) == kLabSyncAnswer) {
    record.ProgDefFile = table[0].ProgDefFile.view();
  } else {
    record.ProgDefFile = table[table.size() >= 2 ? 1 : static_cast<std::size_t>(profile)].ProgDefFile.view();
  }
  const std::string_view file = record.MainFile.view();
  std::int32_t fileType = Contains(file, ".TXT") ? FT_TXT : FT_MOT;
  if (Contains(file, ".EXE")) fileType |= FT_EXE;
  if (Contains(file, ".HEX")) fileType |= FT_HEX;
  if (Contains(file, ".BIN")) fileType |= FT_BIN;
  Profiles().FileType = fileType;
}

void TWorkflow::AddItems(std::string_view list) {
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    const std::size_t all = item.find("*.*");
    if (all == std::string_view::npos) {
      AddExtraFile(item);
    } else {
      const std::string_view dir = item.substr(0, all);
      for (const std::string& name : platform::ListFiles(form_.Paths().workDir, item)) {
        AddExtraFile(std::string(dir) + Upper(name));
      }
    }
    if (comma == std::string_view::npos) return;
    list.remove_prefix(comma + 1);
  }
}

void TWorkflow::AddExtraFile(std::string_view name) {
  DeviceRecord& record = Record();
  if (record.ExtraFileCount < static_cast<std::int32_t>(DeviceRecord::kMaxExtraFiles)) {
    record.ExtraFiles[static_cast<std::size_t>(record.ExtraFileCount++)] = name;
    return;
  }
  if (extraFilesDropped_) return;
  extraFilesDropped_ = true;
  View().AddLogLine(std::string(Output().Pick(texts::kTooManyExtraFiles)).append(name));
}

bool TWorkflow::AskYes(std::string_view text, std::string_view caption) {
  return View().MessageBox(text, caption, BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes;
}

int TWorkflow::Decide() {
  DeviceRecord& record = Record();
  const std::string_view info = Output().Pick(texts::kCaptionInfoBi);
  if (record.InstrumentVersion > record.OfferedVersion &&
      (record.SecondVersion > record.SecondOfferedVersion || record.SecondVersion == 0)) {
    View().MessageBox(Output().Pick(texts::kNoValidVersion), Output().Pick(texts::kCaptionFehler), BoxIcon::Error,
                      BoxButtons::Ok);
    if (form_.VersionCheck()) {
      LogText(WithFirstX(Output().Pick(texts::kInstrumentNewer), record.InstrumentVersionText));
      return 0;
    }
    record.InstrumentVersion = record.OfferedVersion;
    force_ = true;
  }
  if (record.InstrumentVersion == record.OfferedVersion &&
      (record.SecondVersion == record.SecondOfferedVersion || record.SecondOfferedVersion == 0) &&
      record.ThirdVersion == record.ThirdOfferedVersion) {
    if (confirmingRun_) return kUpdateConfirmed;
    const std::string question = WithFirstX(Output().Pick(texts::kSameVersion), record.InstrumentVersionText);
    force_ = AskYes(Output().FormatText(question), info);
    bool yes = force_;
    if (reply262Seen_ && force_) yes = AskYes(Output().Pick(texts::kSerialInterface), info);
    return yes ? 1 : 0;
  }
  if (reply262Seen_ && record.SecondVersion < record.SecondOfferedVersion) {
    return AskYes(Output().Pick(texts::kSerialInterface), info) ? 1 : 0;
  }
  return 1;
}

std::string TWorkflow::ReadOfferedVersion(const char* marker, const char* fileName) {
  const std::int32_t mode = VersionReadModeOf(marker, fileName);
  const std::optional<std::string> content =
      platform::ReadFileBytes(platform::ResolveCaseless(form_.Paths().workDir, fileName));
  if (!content) {
    ShowFileError(fileName);
    return "0";
  }
  const VersionText text = FindVersionText(mode, marker, *content);
  StoreOfferedVersion(mode, text, Record());
  return std::string(text.view());
}

}  // namespace updater
