#include "loaders/emf_loader.h"

#include <vector>

#include "loaders/emf_commands.h"
#include "loaders/image_file.h"
#include "platform/files.h"

namespace loaders {
namespace {

using xmodem::XmodemSender;

constexpr long kBootLoaderStartMs = 3000;  // the boot loader is up at its rate after this
constexpr long kFallbackMs = 10000;        // the instrument gives up the component's entry
constexpr long kRunStartMs = 500;          // "r" reaches the boot loader before anything else
// A receiver that drops noise refuses it once the line has been quiet for a
// second; after this the line is quiet and the receiver at a block's start.
constexpr long kQuietMs = 1500;
constexpr long kEotAnswerMs = 500;  // the receiver acknowledges the end of transmission
constexpr int kFirstProgress = 2;

}  // namespace

T_EMFLoader::T_EMFLoader(const LoaderContext& context) : ctx_(context), session_(ctx_) {
  session_.steps = {
      [this] { Acknowledged(); },
      [this] { ReplyLine(); },
      [this](const char* text) { Version(text); },
      [this](const char* text) { CheckCrc(text); },
      [this] { TransferData(); },
      [this] { Silence(); },
  };
}

// --- Program -------------------------------------------------------------------

int T_EMFLoader::Program(const ProgramArgs& args) {
  const auto* emf = std::get_if<EmfArgs>(&args);
  return emf ? Program(emf->loaderMode, emf->file) : 0;
}

int T_EMFLoader::Program(int componentIndex, const char* fileName) {
  componentIndex_ = componentIndex;
  session_.SetProgress(0);
  if (!LoadImage(fileName ? fileName : "")) {
    // Refused before anything was sent to the instrument.
    session_.ShowError(refusal_);
    return 0;
  }
  session_.SetProgressMax(image_.blockCount);
  session_.SetProgress(kFirstProgress);
  if (session_.Conduct([this] { Opening(); })) return 1;
  session_.ReportFailure();
  return 0;
}

TiTxtResult T_EMFLoader::ReadFirmware(const std::string& path, xmodem::PaddedImage& image) {
  std::vector<std::uint8_t> file;
  TiTxtError error = ReadFileBytes(path, kImageBytes, file);
  if (error == TiTxtError::None && xmodem::PaddedSize(file.size()) > kImageBytes) error = TiTxtError::FileTooLarge;
  if (error == TiTxtError::None) image = xmodem::PadImage(file);
  return {error, 0};
}

bool T_EMFLoader::LoadImage(const char* fileName) {
  const TiTxtResult result = ReadFirmware(platform::ResolveCaseless(ctx_.config.workDir, fileName), image_);
  if (!result.Ok()) refusal_ = FileErrorMessage(result.error, fileName, 0, ctx_.language);
  return result.Ok();
}

void T_EMFLoader::Opening() {
  // An instrument found in its boot loader has no firmware to ask.
  if (session_.Record().DirectBootLoaderStart()) return AskWaitingBootLoader();
  session_.Write("A.1000\r\n");
}

// --- text phase -------------------------------------------------------------------

// The firmware has answered: it is asked to start the boot loader of the
// component at the boot loader's rate.
void T_EMFLoader::Acknowledged() {
  if (transferBegun_) return;
  firmwareAnswered_ = true;
  const updater::DeviceRecord& record = session_.Record();
  if (record.WithoutSensor() && componentIndex_ == 1) componentIndex_ = 2;
  announcedRate_ = emf::BootLoaderRate(record.KeepsBootLoaderRate(0));
  session_.Write(emf::EntryCommand(componentIndex_));
  session_.Write(emf::RateSuffix(announcedRate_).c_str());
}

void T_EMFLoader::ReplyLine() {
  if (transferBegun_) return;
  if (componentIndex_ < 2) {
    EnterBootLoader();
  } else {
    FallBackToInstrumentEntry();
  }
}

void T_EMFLoader::EnterBootLoader() {
  session_.SwitchLine(announcedRate_);
  session_.Pause(kBootLoaderStartMs);
  // What came while the rate changed is no reply of the boot loader.
  session_.DiscardArrived();
  session_.StartWatchdog(EmfSession::kWatchdogMs);
  session_.Send(emf::kVersionQuery);
}

// Silence in the transfer is the sender's to judge; a lost CRC reply ends
// the data phase. A firmware that never answered may not be there: after a
// transfer that broke off, the instrument holds no application and its boot
// loader comes up by itself at 9600 8N2. It is asked once, directly, before
// the run fails.
void T_EMFLoader::Silence() {
  if (session_.xmodemMode) return Perform(sender_->OnSilence());
  if (crcAsked_) return RetryDataPhase();
  if (resyncing_ || firmwareAnswered_ || askedWaitingBootLoader_) {
    session_.Fail();
    return;
  }
  AskWaitingBootLoader();
}

// Its version reply then starts the transfer as after an entry.
void T_EMFLoader::AskWaitingBootLoader() {
  askedWaitingBootLoader_ = true;
  session_.SwitchLine(serial::B__9600);
  session_.DiscardArrived();
  session_.StartWatchdog(EmfSession::kWatchdogMs);
  session_.Send(emf::kVersionQuery);
}

// Without the component's boot loader the instrument's own entry is used, at
// 9600 bit/s; its reply line then starts the boot loader as above.
void T_EMFLoader::FallBackToInstrumentEntry() {
  session_.SwitchLine(serial::B__9600);
  session_.StopWatchdog();
  session_.Pause(kFallbackMs);
  session_.StartWatchdog(EmfSession::kWatchdogMs);
  componentIndex_ = 0;
  announcedRate_ = serial::B__9600;
  session_.Write(emf::EntryCommand(componentIndex_));
  session_.Write(emf::RateSuffix(announcedRate_).c_str());
}

// The version starts the data phase: after the entry, and again after a
// failed data phase was ended.
void T_EMFLoader::Version(const char* text) {
  if (transferBegun_ && !resyncing_) return;
  if (!transferBegun_) {
    transferBegun_ = true;
    session_.confirmation = emf::WantsConfirmation(text);
    core::FixedText<64> shown(session_.Record().InstrumentVersionText.view());
    shown.Append(emf::BootLoaderVersionNote(text).view());
    ctx_.view.SetIdentityField(updater::IdentityField::Version, shown.view());
  }
  resyncing_ = false;
  BeginDataPhase();
}

// --- transfer and check --------------------------------------------------------------

// "u" makes the boot loader erase its memory and ask for the first block.
void T_EMFLoader::BeginDataPhase() {
  sender_.emplace(image_);
  crcAsked_ = false;
  session_.SetProgress(kFirstProgress);
  session_.xmodemMode = true;
  session_.Command(emf::kBeginTransfer);
}

// The first byte that asks for something is the answer: the receiver answers
// each block once and waits, so anything behind it is noise. Bytes in front of
// it may be noise, or the receiver's "C" that crossed block 1.
void T_EMFLoader::TransferData() {
  if (session_.ReadArrived() == LoaderPort::kClosed) return;
  XmodemSender::Step step = XmodemSender::Step::Nothing;
  for (std::size_t i = 0; i < session_.ReceivedCount() && step == XmodemSender::Step::Nothing; ++i) {
    step = sender_->OnAnswer(session_.Received()[i]);
  }
  session_.ClearReceived();
  Perform(step);
}

void T_EMFLoader::Perform(XmodemSender::Step step) {
  switch (step) {
    case XmodemSender::Step::SendNextBlock:
      session_.WriteBytes(sender_->Block().data(), sender_->Block().size());
      session_.Advance();
      break;
    case XmodemSender::Step::SendBlock:
      session_.WriteBytes(sender_->Block().data(), sender_->Block().size());
      break;
    case XmodemSender::Step::SendEot:
      session_.WriteBytes(&xmodem::kEot, 1);
      break;
    case XmodemSender::Step::Done:
      session_.xmodemMode = false;
      crcAsked_ = true;
      session_.Command(emf::kReportCrc);
      break;
    case XmodemSender::Step::GiveUp:
      RetryDataPhase();
      break;
    case XmodemSender::Step::Nothing:
      break;
  }
}

// The boot loader's CRC over what it received must be the image's: only then
// is it told to run the new firmware. A different one means the memory is not
// the image: the data phase runs again, and the boot loader stays in charge.
void T_EMFLoader::CheckCrc(const char* text) {
  if (!crcAsked_) {
    // Not the answer to "c": nothing is known about the memory.
    session_.StopWatchdog();
    session_.Fail();
    return;
  }
  crcAsked_ = false;
  if (emf::ReadCrcReply(text) != std::optional<std::uint32_t>(image_.crc)) return RetryDataPhase();
  session_.Command(emf::kRunFirmware);
  session_.SetProgress(0);
  session_.Pause(kRunStartMs);
  session_.Report(100.0f);
  session_.done = true;
}

// The data phase failed while the boot loader still answered. Once the line
// is quiet, EOT ends a transfer that still runs (the receiver takes it at a
// block's start, and a boot loader in its command mode answers "?" to it with
// the line end behind it); the version reply then begins the data phase anew.
// Silence instead ends the run.
void T_EMFLoader::RetryDataPhase() {
  session_.xmodemMode = false;
  if (retries_++ >= kDataPhaseRetries) {
    session_.StopWatchdog();
    session_.Fail();
    return;
  }
  resyncing_ = true;
  session_.Pause(kQuietMs);
  session_.DiscardArrived();
  if (!session_.WriteBytes(&xmodem::kEot, 1)) return;
  session_.Pause(kEotAnswerMs);
  session_.DiscardArrived();
  session_.StartWatchdog(EmfSession::kWatchdogMs);
  if (session_.Write("\r\n")) session_.Send(emf::kVersionQuery);
}

}  // namespace loaders
