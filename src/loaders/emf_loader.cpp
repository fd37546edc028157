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
  sender_.emplace(image_);
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
  if (!session_.Record().DirectBootLoaderStart()) session_.Write("A.1000\r\n");
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

// A firmware that never answered may not be there: after a transfer that
// broke off, the instrument holds no application and its boot loader comes
// up by itself at 9600 8N2. It is asked once, directly, before the run fails;
// its version reply then starts the transfer as after an entry.
void T_EMFLoader::Silence() {
  if (firmwareAnswered_ || askedWaitingBootLoader_) {
    session_.Fail();
    return;
  }
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

void T_EMFLoader::Version(const char* text) {
  if (transferBegun_) return;
  transferBegun_ = true;
  session_.confirmation = emf::WantsConfirmation(text);
  core::FixedText<64> shown(session_.Record().InstrumentVersionText.view());
  shown.Append(emf::BootLoaderVersionNote(text).view());
  ctx_.view.SetIdentityField(updater::IdentityField::Version, shown.view());
  session_.xmodemMode = true;
  session_.Command(emf::kBeginTransfer);
}

// --- transfer and check --------------------------------------------------------------

// Only the first byte of what has arrived is an answer: the receiver answers
// each block once and waits, so anything behind it is noise.
void T_EMFLoader::TransferData() {
  if (session_.ReadArrived() == LoaderPort::kClosed) return;
  if (session_.ReceivedCount() == 0) return;
  const std::uint8_t answer = session_.Received()[0];
  session_.ClearReceived();
  Perform(sender_->OnAnswer(answer));
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
      session_.StopWatchdog();
      session_.Fail();
      break;
    case XmodemSender::Step::Nothing:
      break;
  }
}

// The boot loader's CRC over what it received must be the image's: only then
// is it told to run the new firmware. Anything else ends the run as failed,
// and the boot loader stays in charge.
void T_EMFLoader::CheckCrc(const char* text) {
  const std::optional<std::uint32_t> crc = emf::ReadCrcReply(text);
  if (!crcAsked_ || crc != std::optional<std::uint32_t>(image_.crc)) {
    session_.StopWatchdog();
    session_.Fail();
    return;
  }
  session_.Command(emf::kRunFirmware);
  session_.SetProgress(0);
  session_.Pause(kRunStartMs);
  session_.Report(100.0f);
  session_.done = true;
}

}  // namespace loaders
