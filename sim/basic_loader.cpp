#include "sim/basic_loader.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sim {

// The lines of the two loader versions. Loader 1.01 erases without a line
// per bank and knows one "programmed" line; 1.02 names the highest bank it
// programmed.
struct BasicLoader::Texts {
  std::string_view banner;
  std::array<std::string_view, 2> erasing;  // per bank; empty: no line
  std::string_view erased;
  std::string_view defect;
  std::array<std::string_view, 2> programmed;  // by the highest bank written
};

namespace {

constexpr std::string_view kWaiting = "Waiting for S-Record !";
constexpr std::array<std::uint8_t, 4> kProgrammedBytes{0xA1, 0x48, 0x20, 0x14};
constexpr std::uint32_t kBaud = 19200;
constexpr std::string_view kHeaderStart = "L3_TERM";
constexpr std::uint32_t kRecordsPerDump = 256;  // the dump follows the programming in steps of 8 KB

}  // namespace

const BasicLoader::Texts& BasicLoader::Says() const {
  static constexpr Texts k101{"Basic-Loader / 1.01",
                              {"", ""},
                              "Flash-Memory erased !",
                              "Record defekt!",
                              {"Flash-Memory programmed", "Flash-Memory programmed"}};
  static constexpr Texts k102{"Basic-Loader / 1.02",
                              {"Erasing Flash-Memory (1) !", "Erasing Flash-Memory (2) !"},
                              "Flash-Memory (1/2) erased !",
                              "S-Record defect!",
                              {"Flash-Memory (1) programmed !", "Flash-Memory (2) programmed !"}};
  return config_.terminal->loaderVersion == "1.01" ? k101 : k102;
}

BasicLoader::BasicLoader(Host& host, const InstrumentConfig& config, TerminalFlash& flash)
    : host_(host), config_(config), flash_(flash) {}

LineSettings BasicLoader::Line() const { return {kBaud, config_.firmware.line.stopBits, false}; }

void BasicLoader::Start() {
  for (int bank = 1; bank <= 2; ++bank) {
    flash_.EraseBank(bank);
    ++host_.State().counters.erases;
  }
  Settle();
  const FaultKind fault = host_.Fault("announce");
  if (fault == FaultKind::kSilence) return;
  const TerminalConfig& terminal = *config_.terminal;
  if (fault == FaultKind::kGarbage) return host_.Send(GarbageBytes(Says().banner.size()), terminal.startMs);
  SendLine(Says().banner, terminal.startMs);
  // Each bank takes its erase time, whether or not the loader names it.
  SimTick wait = 0;
  for (const std::string_view line : Says().erasing) {
    if (!line.empty()) {
      SendLine(line, wait);
      wait = 0;
    }
    wait += terminal.eraseMs;
  }
  SendLine(Says().erased, wait);
  SendLine(kWaiting);
}

void BasicLoader::Receive(std::uint8_t byte) {
  if (stage_ != Stage::kReceiving) return;
  if (byte == '\r' || byte == '\n') {
    if (!line_.empty()) EndOfLine();
    return;
  }
  if (line_.size() == line_.kCapacity) return Defect();  // longer than any record
  line_.Append(static_cast<char>(byte));
  overrun_ = overrun_ || !flowControl_;
}

void BasicLoader::EndOfLine() {
  const std::string line(line_.view());
  line_.Clear();
  const bool overrun = overrun_;
  overrun_ = false;
  switch (host_.Fault("record")) {
    case FaultKind::kSilence: return;
    case FaultKind::kNak: return Defect();
    case FaultKind::kAbort: return Abort();
    case FaultKind::kGarbage: host_.Send(GarbageBytes(8)); break;
    default: break;
  }
  const std::optional<SRecord> record = overrun ? std::nullopt : ParseSRecord(line);
  if (!record || !Take(*record)) return Defect();
  ++host_.State().counters.frames;
}

// The order a file must keep: the header first, then data records, where an
// S5 may follow that counts the data records before it, and the end record,
// after which the loader is done.
bool BasicLoader::Take(const SRecord& record) {
  if (!headerSeen_) {
    headerSeen_ = record.type == '0' && IsForThisTerminal(record.data);
    return headerSeen_;
  }
  if (IsDataRecord(record.type)) return Program(record);
  if (record.type == '5') return record.address == dataRecords_;
  if (!IsEndRecord(record.type) || dataRecords_ == 0 || TerminalFlash::BankOf(record.address) == 0) return false;
  Finish();
  return true;
}

// The file names the terminal it is for: "L3_TermH..." for the terminal that
// answers reply 208 with "0", "L3_TermL..." for the others.
bool BasicLoader::IsForThisTerminal(const std::vector<std::uint8_t>& header) const {
  std::string name;
  for (const std::uint8_t byte : header) name += static_cast<char>(std::toupper(byte));
  const char variant = config_.terminal->reply208.starts_with('0') ? 'H' : 'L';
  return name.starts_with(kHeaderStart) && name.size() > kHeaderStart.size() && name[kHeaderStart.size()] == variant;
}

bool BasicLoader::Program(const SRecord& record) {
  if (flash_.Write(record.address, record.data) != WriteResult::kOk) return false;
  ++dataRecords_;
  ++host_.State().counters.programs;
  if (dataRecords_ % kRecordsPerDump == 0) Settle();
  const auto last = static_cast<std::uint32_t>(record.address + std::max<std::size_t>(record.data.size(), 1) - 1);
  highestBank_ = std::max(highestBank_, TerminalFlash::BankOf(last));
  return true;
}

void BasicLoader::Finish() {
  stage_ = Stage::kDone;
  Settle();
  if (config_.terminal->endBytes) {
    host_.Send(kProgrammedBytes);
  } else {
    SendLine(Says().programmed[highestBank_ == 2 ? 1 : 0]);
  }
  host_.State().secondVersion = flash_.Version().value_or("");
}

void BasicLoader::Defect() {
  stage_ = Stage::kStopped;
  Settle();
  SendLine(Says().defect);
  ++host_.State().counters.badFrames;
  ++host_.State().counters.naks;
}

// Reply 2: the instrument gives up the programming.
void BasicLoader::Abort() {
  stage_ = Stage::kStopped;
  Settle();
  SendLine(config_.firmware.prefix + "2#");
  ++host_.State().counters.naks;
}

// The dump catches up: at the start, every few records and at the end (a
// megabyte of flash and the state are not rewritten for every record).
void BasicLoader::Settle() {
  flash_.MarkSettled();
  host_.Changed();
}

void BasicLoader::SendLine(std::string_view text, SimTick delayMs) {
  std::string line(text);
  line += "\r\n";
  host_.SendText(line, delayMs);
}

}  // namespace sim
