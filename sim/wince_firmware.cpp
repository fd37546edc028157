#include "sim/wince_firmware.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "sim/wince_image.h"

namespace sim {
namespace {

constexpr std::size_t kMaxLine = 600;  // a header holds a name of up to 255 characters
constexpr std::string_view kFrameFaultTarget = "frame";
constexpr std::string_view kSendAgain = "2";
constexpr int kBlockReply = 261;
constexpr int kNextFileReply = 260;
constexpr std::string_view kStartupProgram = "TARVOSTARTUP.EXE";
constexpr std::array<std::uint32_t, 10> kRates{1200,  2400,  4800,   9600,   19200,
                                               38400, 57600, 115200, 128000, 256000};

}  // namespace

struct WinceFirmware::Command {
  int number;
  std::string_view text;  // the command without parameter
  bool parameter;         // "#" and a parameter follow
};

WinceFirmware::WinceFirmware(Host& host, const InstrumentConfig& config, const FlashModel& main,
                             const FlashModel* sensor)
    : host_(host),
      config_(config),
      wince_(*config.wince),
      firmware_(host, config, main, sensor),
      receiver_(host.State().winceFiles, config.wince->heldFiles),
      line_(config.firmware.line) {
  SimState& state = host.State();
  if (state.winceStartup.empty()) state.winceStartup = config.firmware.startupVersion;
  if (!state.winceApplication.empty()) state.firmwareVersion = state.winceApplication;
}

void WinceFirmware::Receive(std::uint8_t byte) {
  if (frame_.Active()) return ReceiveFrameByte(byte);
  if (messageStart_ && byte == 'D') {
    skipping_ = false;
    frame_.Start();
    return;
  }
  // Dropped bytes end where a frame or a command begins.
  if (skipping_ && byte != 'A') return;
  skipping_ = false;
  // Between the frames of a file only a frame or a command may begin; the
  // rest is noise, or what an overlong frame left behind.
  if (messageStart_ && receiver_.FileOpen() && byte != 'A' && byte != '\r' && byte != '\n') {
    return StartStrayBytes();
  }
  ReceiveTextByte(byte);
}

void WinceFirmware::StartStrayBytes() {
  ++host_.State().counters.badFrames;
  skipping_ = true;
}

void WinceFirmware::ReceiveFrameByte(std::uint8_t byte) {
  const WinceFrameReader::Step step = frame_.Feed(byte);
  if (step == WinceFrameReader::Step::kMore) return;
  messageStart_ = true;
  if (step == WinceFrameReader::Step::kComplete) return TakeFrame();
  // Where the rest of a broken frame lies is unknown: drop it up to the next
  // frame or command.
  ++host_.State().counters.badFrames;
  skipping_ = true;
  AskAgain();
}

void WinceFirmware::TakeFrame() {
  const FaultKind fault = host_.Fault(kFrameFaultTarget);
  if (fault == FaultKind::kSilence) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(8), config_.firmware.replyMs);
  if (fault == FaultKind::kNak) return AskAgain();
  if (fault == FaultKind::kRefuse) {
    receiver_.GiveUp();
    return Answer(WinceAnswer::kGiveUp);
  }
  if (fault == FaultKind::kCorrupt) frame_.Disturb();
  if (!frame_.Problem().empty()) {
    ++host_.State().counters.badFrames;
    return AskAgain();
  }
  ++host_.State().counters.frames;
  const WinceAnswer answer = receiver_.Block(frame_.Data());
  if (fault != FaultKind::kNoAck) Answer(answer);
}

void WinceFirmware::ReceiveTextByte(std::uint8_t byte) {
  messageStart_ = byte == '\n';
  if (text_.size() == kMaxLine) {
    if (byte != '\n') return;
    text_.clear();
    return Reply("?");
  }
  text_ += static_cast<char>(byte);
  if (byte == '\n') HandleLine();
}

void WinceFirmware::HandleLine() {
  std::string text = std::move(text_);
  text_.clear();
  std::string_view line = text;
  line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view parameter;
  const Command* command = FindCommand(line, parameter);
  if (command == nullptr) {
    // Everything but the file copy is the common firmware's.
    for (const char c : text) firmware_.Receive(static_cast<std::uint8_t>(c));
    return;
  }
  RunCommand(*command, line, parameter);
}

const WinceFirmware::Command* WinceFirmware::FindCommand(std::string_view line,
                                                         std::string_view& parameter) const {
  if (!line.starts_with("A.")) return nullptr;
  int number = -1;
  const char* end = line.data() + line.size();
  const auto [numberEnd, error] = std::from_chars(line.data() + 2, end, number);
  if (error != std::errc()) return nullptr;
  static constexpr std::array<Command, 6> kCommands{{
      {1300, "A.1300", true},   // switch the line
      {1201, "A.1201", true},   // file header
      {1205, "A.1205", true},   // file header, copy whatever the instrument holds
      {1202, "A.1202", false},  // end of file
      {1203, "A.1203", false},  // end of transfer
      {2100, "A.2100", false},  // version of the start-up program
  }};
  for (const Command& command : kCommands) {
    if (command.number != number) continue;
    const bool hasParameter = numberEnd != end && *numberEnd == '#';
    if (numberEnd != end && !hasParameter) return nullptr;
    parameter = hasParameter ? std::string_view(numberEnd + 1, end) : std::string_view();
    return &command;
  }
  return nullptr;
}

void WinceFirmware::RunCommand(const Command& command, std::string_view line,
                               std::string_view parameter) {
  host_.State().commands.emplace_back(line);
  host_.Changed();
  const FaultKind fault = host_.Fault(std::to_string(command.number));
  if (fault == FaultKind::kSilence || fault == FaultKind::kNoAck) return;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(8), config_.firmware.replyMs);
  if (fault == FaultKind::kRefuse || fault == FaultKind::kNak) return Reply("?");
  if (command.parameter != !parameter.empty()) return Reply("?");
  switch (command.number) {
    case 1300:
      return SwitchRate(parameter);
    case 1201:
    case 1205:
      return Answer(receiver_.Header(command.text, parameter));
    case 1202:
      return Answer(receiver_.EndOfFile());
    case 1203:
      return EndOfTransfer();
    default:
      return StartupVersion();
  }
}

void WinceFirmware::StartupVersion() {
  const std::string& version = host_.State().winceStartup;
  if (version.empty()) return Reply("?");
  Reply(config_.firmware.prefix + "2011#" + version);
}

void WinceFirmware::EndOfTransfer() {
  const WinceAnswer answer = receiver_.EndOfTransfer();
  Answer(answer);
  if (answer == WinceAnswer::kAck) Install(receiver_.LastTransfer());
}

void WinceFirmware::Install(std::span<const WinceFile> files) {
  SimState& state = host_.State();
  bool applicationFound = false;
  for (const WinceFile& file : files) {
    if (file.status != WinceFile::Status::kComplete) continue;
    const std::string version = WinceFileVersion(file.data);
    if (version.empty()) continue;
    if (file.name.find(kStartupProgram) != std::string::npos) {
      state.winceStartup = version;
    } else if (!applicationFound) {
      state.winceApplication = state.firmwareVersion = version;
      applicationFound = true;
    }
  }
}

void WinceFirmware::SwitchRate(std::string_view parameter) {
  std::uint32_t rate = 0;
  const auto [end, error] =
      std::from_chars(parameter.data(), parameter.data() + parameter.size(), rate);
  const bool known = error == std::errc() && end == parameter.data() + parameter.size() &&
                     std::find(kRates.begin(), kRates.end(), rate) != kRates.end();
  if (!known) return Reply("?");
  if (wince_.rateAckMs == 0) {
    Reply("!");  // queued at the old rate; the instrument listens at the new one from now on
    line_.baud = rate;
    return;
  }
  line_.baud = rate;
  host_.SendText("!\r\n", wince_.rateAckMs);
}

void WinceFirmware::Answer(WinceAnswer answer) {
  switch (answer) {
    case WinceAnswer::kAck:
      ++host_.State().counters.acks;
      return Reply("!");
    case WinceAnswer::kRefuse:
      return Reply("?");
    case WinceAnswer::kGiveUp:
      ++host_.State().counters.naks;
      host_.Changed();
      return Reply(config_.firmware.prefix + std::to_string(kBlockReply) + "#" + wince_.rejectText);
    case WinceAnswer::kNextFile:
      return Reply(config_.firmware.prefix + std::to_string(kNextFileReply) + "#");
  }
}

void WinceFirmware::AskAgain() {
  ++host_.State().counters.naks;
  Reply(config_.firmware.prefix + std::to_string(kBlockReply) + "#" + std::string(kSendAgain));
}

void WinceFirmware::Reply(std::string_view line) {
  std::string text(line);
  text += "\r\n";
  host_.SendText(text, config_.firmware.replyMs);
}

}  // namespace sim
