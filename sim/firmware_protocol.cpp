#include "sim/firmware_protocol.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "sim/firmware_check.h"

namespace sim {
namespace {

constexpr std::string_view kLabBlock = "A.12010#";
constexpr std::string_view kAccessCode = "RV83";
// Firmware older than 0.064 has no serial-number command.
constexpr std::int32_t kFirstVersionWithSerial = 64;

}  // namespace

struct FirmwareProtocol::Command {
  char letter;
  int number;
  void (FirmwareProtocol::*handler)(std::string_view parameter);
};

const FirmwareProtocol::Command* FirmwareProtocol::FindCommand(char letter, int number) {
  using F = FirmwareProtocol;
  static constexpr std::array<Command, 29> kCommands{{
      {'A', 1111, &F::Ack},            // resume
      {'A', 1121, &F::Ack},            // resume after a TI-TXT update
      {'A', 1000, &F::Ack},            // start of a command sequence
      {'A', 2003, &F::PcbNumber},
      {'A', 2000, &F::DeviceNumber},
      {'A', 2001, &F::SoftwareVersion},
      {'A', 4001, &F::SerialNumber},
      {'A', 2100, &F::StartupVersion},
      {'A', 1200, &F::EntryCommand},   // entry into the loaders of other families
      {'A', 1230, &F::Ack},
      {'A', 1231, &F::Ack},
      {'A', 1500, &F::Ack},
      {'A', 1220, &F::EnterTerminal},
      {'A', 1600, &F::Clock},
      {'A', 6162, &F::AirPressure},
      {'A', 2005, &F::SecondComponent},
      {'A', 5577, &F::QueryMain},
      {'A', 5555, &F::QuerySensor},
      {'A', 5588, &F::EnterMain},
      {'A', 5566, &F::EnterSensor},
      {'A', 5567, &F::EnterSensor},
      {'A', 12000, &F::LabAnnounce},
      {'A', 12010, &F::LabBlock},      // a Lab data block (arrives in binary form)
      {'A', 12030, &F::LabEnd},        // end of a Lab data file
      {'U', 606, &F::Silent},          // leaves the Lab dialogue without an answer
      {'A', 1300, &F::Ack},
      {'A', 1250, &F::EnterEmfMain},      // EMF boot loader; the parameter names its rate
      {'A', 1255, &F::EnterEmfSensor},
      {'A', 1256, &F::EnterEmfFallback},
  }};
  for (const Command& command : kCommands) {
    if (command.letter == letter && command.number == number) return &command;
  }
  return nullptr;
}

FirmwareProtocol::FirmwareProtocol(Host& host, const InstrumentConfig& config, const FlashModel& main,
                                   const FlashModel* sensor)
    : host_(host), config_(config), main_(main), sensor_(sensor) {}

void FirmwareProtocol::Receive(std::uint8_t byte) {
  if (labBlockLength_ || labBlockLeft_ >= 0) return ReceiveLabBlockByte(byte);
  if (byte == '\n') {
    std::string line(line_.view());
    line_.Clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) HandleLine(line);
    return;
  }
  if (line_.size() == line_.kCapacity) {
    line_.Clear();
    return Refuse();
  }
  line_.Append(static_cast<char>(byte));
  if (line_ == kLabBlock) {
    line_.Clear();
    labBlockLength_ = true;
  }
}

void FirmwareProtocol::ReceiveLabBlockByte(std::uint8_t byte) {
  if (labBlockLength_) {
    labBlockLength_ = false;
    labBlockLeft_ = byte;
    labBlock_.clear();
  } else {
    labBlock_.push_back(byte);
    --labBlockLeft_;
  }
  if (labBlockLeft_ == 0) {
    labBlockLeft_ = -1;
    HandleLine("A.12010#");
  }
}

void FirmwareProtocol::HandleLine(std::string_view line) {
  host_.State().commands.emplace_back(line);
  host_.Changed();
  // "A.1234#param": letter, dot, decimal number, optional parameter.
  int number = -1;
  const char* end = line.data() + line.size();
  const char* numberEnd = end;
  if (line.size() >= 3 && line[1] == '.') {
    const auto result = std::from_chars(line.data() + 2, end, number);
    if (result.ec != std::errc()) number = -1;
    numberEnd = result.ptr;
  }
  const bool wellFormed = number >= 0 && (numberEnd == end || *numberEnd == '#');
  const FaultKind fault = host_.Fault(wellFormed ? std::to_string(number) : std::string(line));
  if (fault == FaultKind::kSilence || fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(8), config_.firmware.replyMs);
  if (fault == FaultKind::kRefuse || fault == FaultKind::kNak) return Refuse();
  const Command* command = wellFormed ? FindCommand(line[0], number) : nullptr;
  if (command == nullptr) return Refuse();
  echo_.assign(line.substr(0, static_cast<std::size_t>(numberEnd - line.data())));
  Execute(*command, numberEnd == end ? std::string_view() : std::string_view(numberEnd + 1, end));
}

void FirmwareProtocol::Execute(const Command& command, std::string_view parameter) {
  (this->*command.handler)(parameter);
  const auto extra = config_.firmware.extraLines.find(command.number);
  if (extra == config_.firmware.extraLines.end()) return;
  for (const std::string& line : extra->second) Reply(line);
}

void FirmwareProtocol::Reply(std::string_view line) {
  std::string text(line);
  text += "\r\n";
  host_.SendText(text, config_.firmware.replyMs);
}

std::string FirmwareProtocol::Value(std::string_view value) const {
  if (config_.firmware.commaPrefix.empty()) return std::string(value);
  return config_.firmware.commaPrefix + "," + std::string(value);
}

void FirmwareProtocol::Numbered(int number, std::string_view text) {
  Reply(config_.firmware.prefix + std::to_string(number) + "#" + std::string(text));
}

void FirmwareProtocol::Ack(std::string_view) { Acknowledge(); }

// The processors programmed by the external library and tools leave for their
// boot loader on the entry command; the updater then hands the line over.
void FirmwareProtocol::EntryCommand(std::string_view) {
  Acknowledge();
  const BslFamily family = main_.Part().family;
  if (family == BslFamily::kM16 || family == BslFamily::kPic32) host_.EnterBootLoader(0);
}

void FirmwareProtocol::Silent(std::string_view) {}
void FirmwareProtocol::PcbNumber(std::string_view) {
  Numbered(config_.firmware.replies[0], Value(config_.firmware.pcbNumber));
}
void FirmwareProtocol::DeviceNumber(std::string_view) {
  Numbered(config_.firmware.replies[1], Value(config_.firmware.deviceNumber));
}

void FirmwareProtocol::SoftwareVersion(std::string_view) {
  std::string text = host_.State().firmwareVersion;
  if (!host_.State().secondVersion.empty()) text += "," + host_.State().secondVersion;
  Numbered(config_.firmware.replies[2], Value(text));
}

void FirmwareProtocol::SerialNumber(std::string_view) {
  if (VersionValue(host_.State().firmwareVersion) < kFirstVersionWithSerial) return Refuse();
  Numbered(config_.firmware.replies[3], Value(config_.firmware.serialNumber));
}

void FirmwareProtocol::StartupVersion(std::string_view) {
  if (config_.firmware.startupVersion.empty()) return Refuse();
  Numbered(2011, config_.firmware.startupVersion);
}

void FirmwareProtocol::Clock(std::string_view parameter) {
  host_.State().clock.assign(parameter);
  Acknowledge();
}

void FirmwareProtocol::AirPressure(std::string_view parameter) {
  host_.State().airPressure.assign(parameter);
  Acknowledge();
}

void FirmwareProtocol::SecondComponent(std::string_view) {
  // A terminal is updated through its Basic-Loader: the instrument tells
  // which terminal it has (reply 208) and waits for A.1220.
  if (config_.terminal) return Numbered(208, config_.terminal->reply208);
  Acknowledge();
  // The instrument brings its sensor up to date on its own and reports when done.
  if (!config_.firmware.selfUpdateVersion.empty()) host_.State().secondVersion = config_.firmware.selfUpdateVersion;
  std::string report = config_.firmware.selfUpdateReport + "\r\n";
  host_.SendText(report, config_.firmware.selfUpdateMs);
}

void FirmwareProtocol::EnterTerminal(std::string_view) {
  Acknowledge();
  if (config_.terminal) host_.EnterBootLoader(kTerminalComponent);
}

void FirmwareProtocol::AnswerQuery(const FlashModel& memory, int replyNumber, std::string_view echo) {
  std::string text;
  char word[8];
  if (memory.Part().family == BslFamily::kClassic) {
    // The classic loader needs only the reset vector; the rest of its password is erased flash.
    std::snprintf(word, sizeof word, "%04X", memory.ReadWord(kResetVectorAddress));
    text = word;
  } else {
    // The 5xx loader takes the whole vector table, highest word first, six characters a word.
    for (std::uint32_t at = kResetVectorAddress; at >= kVectorTableAddress; at -= 2) {
      std::snprintf(word, sizeof word, "0x%04X", memory.ReadWord(at));
      text += word;
    }
  }
  Numbered(replyNumber, text);
  Reply(echo);
}

void FirmwareProtocol::QueryMain(std::string_view) { AnswerQuery(main_, 80, echo_); }

void FirmwareProtocol::QuerySensor(std::string_view) {
  if (sensor_ == nullptr) return Refuse();
  std::string echo = echo_;
  echo[0] = 'C';
  AnswerQuery(*sensor_, 81, echo);
}

void FirmwareProtocol::Enter(int component, std::string_view parameter, std::string_view echo) {
  if (parameter != kAccessCode) return Refuse();
  Reply(echo);
  host_.EnterBootLoader(component);
}

void FirmwareProtocol::EnterMain(std::string_view parameter) { Enter(0, parameter, echo_); }

void FirmwareProtocol::EnterSensor(std::string_view parameter) {
  if (sensor_ == nullptr) return Refuse();
  std::string echo = echo_;
  echo[0] = 'C';
  Enter(1, parameter, echo);
}

void FirmwareProtocol::LabAnnounce(std::string_view parameter) {
  if (parameter.empty()) return Refuse();
  host_.State().labFiles.push_back({std::string(parameter), {}, false});
  Acknowledge();
}

// Blocks and the end belong to the file announced last; without one the
// instrument does not know where to put them.
LabFile* FirmwareProtocol::OpenLabFile() {
  auto& files = host_.State().labFiles;
  return files.empty() || files.back().complete ? nullptr : &files.back();
}

void FirmwareProtocol::LabBlock(std::string_view) {
  LabFile* file = OpenLabFile();
  if (file == nullptr) return Refuse();
  file->data.insert(file->data.end(), labBlock_.begin(), labBlock_.end());
  Acknowledge();
}

void FirmwareProtocol::LabEnd(std::string_view) {
  LabFile* file = OpenLabFile();
  if (file == nullptr) return Refuse();
  file->complete = true;
  host_.Changed();
  Acknowledge();
}

}  // namespace sim
