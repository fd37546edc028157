#include "sim/instrument.h"

#include <algorithm>
#include <limits>

#include "sim/basic_loader.h"
#include "sim/bsl_5xx.h"
#include "sim/bsl_classic.h"
#include "sim/firmware_check.h"
#include "sim/firmware_protocol.h"
#include "sim/wince_firmware.h"
#include "sim/m16_boot_loader.h"
#include "sim/pic32_boot_loader.h"

namespace sim {
namespace {

constexpr std::size_t kMaxNoise = 16;

std::unique_ptr<FlashModel> MakeMemory(const ComponentConfig& component) {
  auto memory = std::make_unique<FlashModel>(*component.part);
  if (!component.blank) memory->Load(BuildFirmwareImage(component.firmware));
  return memory;
}

std::unique_ptr<TerminalFlash> MakeTerminal(const std::optional<TerminalConfig>& terminal) {
  if (!terminal) return nullptr;
  auto flash = std::make_unique<TerminalFlash>();
  if (!terminal->blank) flash->Load(BuildTerminalImage(terminal->firmware));
  return flash;
}

}  // namespace

Instrument::Instrument(InstrumentConfig config, FaultPlan faults, const platform::Clock& clock)
    : config_(std::move(config)),
      faults_(std::move(faults)),
      clock_(clock),
      main_(MakeMemory(config_.main)),
      sensor_(config_.sensor ? MakeMemory(*config_.sensor) : nullptr),
      emf_(config_.emf ? MakeFactoryEmfMemory(config_.main.firmware, config_.main.blank) : nullptr),
      terminal_(MakeTerminal(config_.terminal)),
      lastDue_(clock.Now()),
      flashWork_(std::numeric_limits<std::uint64_t>::max()) {
  state_.secondVersion = config_.firmware.secondVersion;
  RefreshVersions();
  PowerOn(config_.startInBootLoader);
}

void Instrument::PowerOn(bool bootKeyHeld) {
  if (bootKeyHeld || !MainFirmwareRuns()) {
    StartBootLoader(0);
  } else {
    protocol_ = MakeFirmware();
    state_.firmwareRunning = true;
    state_.bootLoaderComponent = -1;
  }
}

std::unique_ptr<Protocol> Instrument::MakeFirmware() {
  if (config_.wince) return std::make_unique<WinceFirmware>(AsHost(), config_, *main_, sensor_.get());
  return std::make_unique<FirmwareProtocol>(AsHost(), config_, *main_, sensor_.get());
}

void Instrument::PowerCycle(bool bootKeyHeld) {
  output_.clear();
  lastDue_ = clock_.Now();
  bootAt_.reset();
  pending_ = Switch::kNone;
  main_->ResetRam();
  if (sensor_) sensor_->ResetRam();
  RefreshVersions();
  PowerOn(bootKeyHeld);
  stateChanged_ = true;
}

Instrument::~Instrument() = default;

FaultKind Instrument::Fault(std::string_view target) {
  const FaultKind fault = faults_.Next(target);
  if (faults_.Fired() != state_.counters.faults) stateChanged_ = true;
  state_.counters.faults = faults_.Fired();
  return fault;
}

const FlashModel& Instrument::Memory(int component) const { return component == 1 && sensor_ ? *sensor_ : *main_; }
FlashModel& Instrument::MemoryOf(int component) { return component == 1 && sensor_ ? *sensor_ : *main_; }

std::uint32_t Instrument::VersionAddressOf(int component) const {
  return component == 1 && config_.sensor ? config_.sensor->firmware.versionAddress
                                          : config_.main.firmware.versionAddress;
}

LineSettings Instrument::Line() const { return protocol_ ? protocol_->Line() : config_.firmware.line; }

void Instrument::RefreshVersions() {
  state_.firmwareVersion = emf_ ? EmfApplicationVersion(*emf_).value_or("")
                                : ReadFirmwareVersion(*main_, VersionAddressOf(0)).value_or("");
  if (sensor_) state_.secondVersion = ReadFirmwareVersion(*sensor_, VersionAddressOf(1)).value_or("");
  if (terminal_) state_.secondVersion = terminal_->Version().value_or("");
}

void Instrument::Receive(std::span<const std::uint8_t> bytes, const LineSettings& seen) {
  if (config_.announcement && !state_.firmwareRunning && protocol_ && !faults_.Silenced() && !bytes.empty() &&
      bytes.front() == kAnnouncementHeaderByte) {
    // A search probe: the loader says who it is, at the rate it was asked.
    output_.push_back({AnnouncementFrame(*config_.announcement), seen, clock_.Now()});
    return;
  }
  bool answeredNoise = false;
  for (const std::uint8_t byte : bytes) {
    if (!protocol_ || faults_.Silenced()) continue;  // booting, or the cable is gone
    if (!protocol_->Line().Understands(seen)) {
      ++state_.counters.garbledBytes;
      if (!answeredNoise) Send(GarbageBytes(std::min(bytes.size(), kMaxNoise)), 0);
      answeredNoise = true;
      stateChanged_ = true;
      continue;
    }
    protocol_->LineSeen(seen);
    protocol_->Receive(byte);
    ApplySwitch();
  }
}

void Instrument::Poll() {
  if (bootAt_ && platform::TickReached(clock_.Now(), *bootAt_)) StartFirmware();
  if (protocol_) protocol_->Poll();
}

std::optional<SimTick> Instrument::Deadline() const {
  const std::optional<SimTick> protocol = protocol_ ? protocol_->Deadline() : std::nullopt;
  if (!bootAt_ || !protocol) return bootAt_ ? bootAt_ : protocol;
  return platform::TickReached(*protocol, *bootAt_) ? bootAt_ : protocol;
}

void Instrument::Send(std::span<const std::uint8_t> bytes, SimTick delayMs) {
  const SimTick now = clock_.Now();
  const SimTick start = platform::TickReached(now, lastDue_) ? now : lastDue_;
  lastDue_ = start + delayMs;
  if (bytes.empty()) return;
  output_.push_back({{bytes.begin(), bytes.end()}, Line(), lastDue_});
}

// The queue counts whole logical milliseconds: the wait is rounded up, so
// that no answer leaves before the flash is done. (The clock's own reading is
// rounded down, which evens the two out over a long download.)
void Instrument::FlashBusy(std::uint64_t micros) {
  state_.counters.flashMicros += micros;
  Send({}, static_cast<SimTick>((micros + 999) / 1000));
}

void Instrument::EnterBootLoader(int component) {
  pending_ = Switch::kBootLoader;
  pendingComponent_ = component;
}

void Instrument::LoadPc(int component, std::uint32_t address) {
  pending_ = Switch::kLeaveBootLoader;
  pendingComponent_ = component;
  pendingAddress_ = address;
}

void Instrument::ApplySwitch() {
  if (faults_.TakePowerLoss()) return PowerCycle(false);
  const Switch what = pending_;
  pending_ = Switch::kNone;
  if (what == Switch::kBootLoader) return StartBootLoader(pendingComponent_);
  if (what == Switch::kEmfBootLoader || what == Switch::kEmfApplication) return ApplyEmfSwitch(what);
  if (what != Switch::kLeaveBootLoader) return;
  FlashModel& memory = MemoryOf(pendingComponent_);
  // A jump into the loader's own memory restarts it; anywhere else the
  // processor runs the application, or, when there is none it can run,
  // comes back up in its boot loader.
  if (memory.Part().bsl.Contains(pendingAddress_) ||
      !HasRunnableFirmware(memory, VersionAddressOf(pendingComponent_))) {
    return StartBootLoader(pendingComponent_);
  }
  memory.ResetRam();
  protocol_.reset();
  bootAt_ = clock_.Now() + config_.bootMs;
  stateChanged_ = true;
}

void Instrument::StartBootLoader(int component) {
  if (component == kTerminalComponent && terminal_) return StartBasicLoader();
  if (emf_) return StartEmfBootLoader(component, config_.emf->bootLine, 0);
  FlashModel& memory = MemoryOf(component);
  if (memory.Part().family == BslFamily::kClassic) {
    protocol_ = std::make_unique<ClassicBsl>(AsHost(), memory, component);
  } else if (memory.Part().family == BslFamily::kM16) {
    protocol_ = std::make_unique<M16BootLoader>(AsHost(), memory, component);
  } else if (memory.Part().family == BslFamily::kPic32) {
    protocol_ = std::make_unique<Pic32BootLoader>(AsHost(), memory, component);
  } else {
    protocol_ = std::make_unique<Bsl5xx>(AsHost(), memory, component);
  }
  bootAt_.reset();
  state_.firmwareRunning = false;
  state_.bootLoaderComponent = component;
  stateChanged_ = true;
}

void Instrument::StartBasicLoader() {
  auto loader = std::make_unique<BasicLoader>(AsHost(), config_, *terminal_);
  BasicLoader& started = *loader;
  protocol_ = std::move(loader);
  started.Start();
  bootAt_.reset();
  state_.firmwareRunning = false;
  state_.bootLoaderComponent = kTerminalComponent;
  stateChanged_ = true;
}

void Instrument::StartFirmware() {
  bootAt_.reset();
  if (!MainFirmwareRuns()) return StartBootLoader(0);
  RefreshVersions();
  protocol_ = MakeFirmware();
  state_.firmwareRunning = true;
  state_.bootLoaderComponent = -1;
  stateChanged_ = true;
  // The new firmware tells which version it found and that it is ready.
  SendText("Firmware " + state_.firmwareVersion + "\r\n!\r\n", 0);
}

bool Instrument::TakeStateChanged() {
  const bool changed = stateChanged_;
  stateChanged_ = false;
  return changed;
}

bool Instrument::TakeFlashChanged() {
  // Received Lab data files are kept with the flash.
  const auto labFiles = std::count_if(state_.labFiles.begin(), state_.labFiles.end(),
                                      [](const LabFile& file) { return file.complete; });
  // So are the files copied to a WinCE instrument.
  const auto winceFiles = std::count_if(state_.winceFiles.begin(), state_.winceFiles.end(), [](const WinceFile& file) {
    return file.status == WinceFile::Status::kComplete;
  });
  // An EMF processor's memory counts its own revisions; the terminal's
  // megabyte is dumped when its programmer marks it settled.
  const std::uint64_t work = terminal_ ? terminal_->Settled()
                                       : std::uint64_t{state_.counters.erases} + state_.counters.programs +
                                             static_cast<std::uint64_t>(labFiles) +
                                             static_cast<std::uint64_t>(winceFiles) + (emf_ ? emf_->revision : 0);
  const bool changed = work != flashWork_;
  flashWork_ = work;
  return changed;
}

}  // namespace sim
