#include "loaders/wince_prog.h"

#include <algorithm>
#include <span>

#include "platform/files.h"
#include "updater/event_codes.h"

namespace loaders {
namespace {

/// The instrument needs this long to change its line after a rate command.
constexpr long kRateChangePauseMs = 2000;
/// The pause at the end of a run, before the port is handed back.
constexpr long kEndPauseMs = 500;
/// How long a failed run waits for the acknowledgement of its rate command.
constexpr long kClosingAnswerMs = 1000;

}  // namespace

TWinCEProg::TWinCEProg(const LoaderContext& context) : ctx_(context), session_(ctx_, *this) {
  // An instrument that asks for the same block again and again is making no
  // progress: only acknowledgements keep the transfer alive.
  session_.dataRestartsWatchdog = false;
}

bool TWinCEProg::Send(const char* text) { return session_.Send(text); }

// --- Program ------------------------------------------------------------------

int TWinCEProg::Program(const ProgramArgs& args) {
  const auto* wince = std::get_if<WinCEArgs>(&args);
  return wince != nullptr && Program(wince->file, wince->force) ? 1 : 0;
}

bool TWinCEProg::Program(const char* fileName, bool force) {
  force_ = force;
  extraTaken_ = 0;
  lastFrameLength_ = 0;
  sendPosition_ = 0;
  next_ = Step::None;
  lineRaised_ = false;
  heardSinceAck_ = false;
  resyncing_ = false;
  repeatsLeft_ = kFileRepeats;
  failureText_.Clear();
  session_.SetProgress(0);
  const char* name = fileName != nullptr ? fileName : "";
  // Every file is checked before the instrument hears of the transfer, so
  // that a file missing from the installation cannot leave it half done.
  if (!CheckFiles(name) || !LoadFile(name)) {
    session_.ShowError(failureText_);
    return false;
  }
  session_.SetProgressMax(static_cast<std::int32_t>(file_.content.size() / wince::kBlockBytes));
  const bool transferred = session_.Conduct(kWatchdogMs, RunEnd{kEndPauseMs, false}, [this] {
    next_ = Step::RaiseLine;
    Send("A.1000\r\n");
  });
  if (!transferred) ReportFailure();
  return transferred;
}

bool TWinCEProg::CheckFiles(const char* mainFile) {
  if (!CheckFile(mainFile)) return false;
  const updater::DeviceRecord& record = session_.Record();
  for (std::int32_t i = 0; i < ExtraFileCount(); ++i) {
    if (!CheckFile(record.ExtraFiles[static_cast<std::size_t>(i)].view())) return false;
  }
  return true;
}

bool TWinCEProg::CheckFile(std::string_view name) {
  const wince::FileProblem problem =
      wince::CheckTransferFile(platform::ResolveCaseless(ctx_.config.workDir, name), kMaxFileBytes);
  if (problem == wince::FileProblem::None) return true;
  failureText_ = wince::FileProblemMessage(problem, name, ctx_.language);
  return false;
}

bool TWinCEProg::LoadFile(std::string_view name) {
  const wince::FileProblem problem =
      wince::ReadTransferFile(platform::ResolveCaseless(ctx_.config.workDir, name), kMaxFileBytes, file_);
  if (problem != wince::FileProblem::None) {
    failureText_ = wince::FileProblemMessage(problem, name, ctx_.language);
    return false;
  }
  fileName_ = name;
  return true;
}

std::int32_t TWinCEProg::ExtraFileCount() const {
  return std::clamp<std::int32_t>(session_.Record().ExtraFileCount, 0,
                                  static_cast<std::int32_t>(updater::DeviceRecord::kMaxExtraFiles));
}

void TWinCEProg::FailWith(const wince::MessageText& text) {
  failureText_ = text;
  session_.Fail();
}

void TWinCEProg::ReportFailure() const {
  session_.ShowFailure(failureText_);
}

// --- events -------------------------------------------------------------------

void TWinCEProg::OnWatchdog() {
  if (!resyncing_ && heardSinceAck_ && repeatsLeft_ > 0 && InFile()) return RepeatFile();
  FailWith(wince::SilenceMessage(fileName_, ctx_.language));
}

// The instrument keeps 38400 bit/s until it is told otherwise, and the next
// run looks for it at the rate it had.
void TWinCEProg::OnRunEnd() {
  if (!lineRaised_ || session_.ConnectionLost()) return;
  lineRaised_ = false;
  const wince::CommandText command = wince::RateCommand(instrumentBaud_);
  ctx_.output.LogCommand(command.view());
  session_.ClosingExchange(reinterpret_cast<const std::uint8_t*>(command.c_str()), command.size(), '!',
                           kClosingAnswerMs);
}

bool TWinCEProg::OnMessage(const core::TEventRecord& event) {
  switch (event.Code) {
    case updater::EV_ACKNOWLEDGE:
      Acknowledged();
      return true;
    case updater::EV_SERIAL_DATA:
      heardSinceAck_ = true;
      return false;  // the reply parser reads it
    case updater::EV_NEGATIVE:
      // "?": no file was open any more.
      if (resyncing_) {
        ResumeFile();
        return true;
      }
      // Only the silence that usually follows ends the transfer; the user
      // should see why.
      ctx_.output.Log(wince::NegativeReplyNote(ctx_.language));
      return true;
    case updater::RP_WINCE_NEXT_FILE:
      NextFile();
      return true;
    case updater::RP_WINCE_BLOCK_REPLY:
      BlockReply(event.Text() != nullptr ? event.Text() : "");
      return true;
    default:
      return false;  // serial data goes on to the reply parser
  }
}

void TWinCEProg::Acknowledged() {
  heardSinceAck_ = false;
  session_.RestartWatchdog();
  Run(next_);
  session_.Advance();
}

void TWinCEProg::BlockReply(const char* text) {
  if (resyncing_) {
    // The file given up is the answer awaited; a request for the last block
    // was still on its way.
    if (!wince::AsksForResend(text)) ResumeFile();
    return;
  }
  if (!wince::AsksForResend(text)) {
    FailWith(wince::RefusalMessage(text, fileName_, ctx_.language));
    return;
  }
  ctx_.output.Log(wince::ResendNote(ctx_.language));
  // The step stays: the next acknowledgement goes on after this block.
  if (lastFrameLength_ > 0) session_.WriteBytes(lastFrame_.data(), lastFrameLength_);
}

// --- steps ----------------------------------------------------------------------

void TWinCEProg::Run(Step step) {
  switch (step) {
    case Step::None: break;
    case Step::RaiseLine: RaiseLine(); break;
    case Step::LineChanging: earlyAcknowledge_ = true; break;
    case Step::FileHeader: FileHeader(); break;
    case Step::DataBlock: DataBlock(); break;
    case Step::EndOfFile: EndOfFile(); break;
    case Step::NextFile: NextFile(); break;
    case Step::EndOfTransfer: EndOfTransfer(); break;
    case Step::RestoreLine: RestoreLine(); break;
    case Step::Finish: session_.done = true; break;
    case Step::FileEnded: ResumeFile(); break;
  }
}

void TWinCEProg::RaiseLine() {
  instrumentBaud_ = ctx_.port.LineBaud();
  if (!AwaitRateChange(wince::kTransferBaud)) return;
  ctx_.port.ChangeV24Parameter(wince::kTransferBaud, serial::S_2, serial::NoParity, false);
  lineRaised_ = true;
  Continue(Step::FileHeader);
}

void TWinCEProg::RestoreLine() {
  if (!AwaitRateChange(instrumentBaud_)) return;
  ctx_.port.LoadLastV24Parameter();
  lineRaised_ = false;
  Continue(Step::Finish);
}

// The instrument acknowledges a rate command at its old rate and then changes
// its line: the acknowledgement usually arrives during this pause, while the
// port still runs at the old rate, and is kept for the step after the change.
bool TWinCEProg::AwaitRateChange(serial::BaudTag baud) {
  next_ = Step::LineChanging;
  earlyAcknowledge_ = false;
  if (!Send(wince::RateCommand(baud).c_str())) return false;
  ctx_.wait.DelayTime(kRateChangePauseMs, true);
  return !session_.done;
}

// An acknowledgement that came during the pause leads on at once; else the
// next one (from an instrument that answers at its new rate) does.
void TWinCEProg::Continue(Step then) {
  next_ = then;
  if (!earlyAcknowledge_) return;
  earlyAcknowledge_ = false;
  Run(then);
}

bool TWinCEProg::InFile() const {
  return next_ == Step::DataBlock || next_ == Step::EndOfFile || next_ == Step::NextFile;
}

// "A.1202" makes the instrument close the file it holds open (it gives an
// incomplete one up), so that it takes the header again.
void TWinCEProg::RepeatFile() {
  --repeatsLeft_;
  resyncing_ = true;
  ctx_.output.Log(wince::FileAgainNote(ctx_.language));
  session_.StartWatchdog(kResyncAnswerMs);
  next_ = Step::FileEnded;
  Send("A.1202\r\n");
}

void TWinCEProg::ResumeFile() {
  resyncing_ = false;
  session_.StartWatchdog(kWatchdogMs);
  sendPosition_ = 0;
  lastFrameLength_ = 0;
  session_.SetProgress(0);
  FileHeader();
}

void TWinCEProg::FileHeader() {
  next_ = Step::DataBlock;
  Send(wince::HeaderCommand(fileName_, file_.dosStamp, static_cast<std::uint32_t>(file_.content.size()), force_,
                            session_.Record().ThirdVersion)
           .c_str());
}

void TWinCEProg::DataBlock() {
  const std::size_t left = file_.content.size() - sendPosition_;
  // An empty file has no block (a frame needs 1 to 2000 bytes).
  if (left == 0) {
    EndOfFile();
    return;
  }
  const std::size_t length = std::min(wince::kBlockBytes, left);
  const std::span<const std::uint8_t> block(file_.content.data() + sendPosition_, length);
  sendPosition_ += length;
  next_ = sendPosition_ == file_.content.size() ? Step::EndOfFile : Step::DataBlock;
  lastFrameLength_ = wince::BuildDataFrame(block, lastFrame_.data());
  session_.WriteBytes(lastFrame_.data(), lastFrameLength_);
}

void TWinCEProg::EndOfFile() {
  next_ = Step::NextFile;
  Send("A.1202\r\n");
}

void TWinCEProg::NextFile() {
  if (extraTaken_ >= ExtraFileCount()) {
    EndOfTransfer();
    return;
  }
  session_.RestartWatchdog();
  const std::string_view name = session_.Record().ExtraFiles[static_cast<std::size_t>(extraTaken_++)].view();
  // Checked at the start; it can only have gone or grown since.
  if (!LoadFile(name)) {
    session_.Fail();
    return;
  }
  session_.SetProgressMax(static_cast<std::int32_t>(file_.content.size() / wince::kBlockBytes + 1));
  session_.SetProgress(0);
  sendPosition_ = 0;
  FileHeader();
}

void TWinCEProg::EndOfTransfer() {
  next_ = Step::RestoreLine;
  Send("A.1203\r\n");
}

}  // namespace loaders
