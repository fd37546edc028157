#include "loaders/term_prog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "core/fixed_text.h"
#include "core/text_helpers.h"
#include "loaders/basic_loader_texts.h"
#include "loaders/image_file.h"
#include "loaders/loader_texts.h"
#include "loaders/record_file.h"
#include "loaders/session_texts.h"
#include "platform/files.h"
#include "updater/event_codes.h"

namespace loaders {
namespace {

constexpr const char* kFileH = "L3_TermH.A37";
constexpr const char* kFileL = "L3_TermL.A37";
constexpr int kStatusPanel = 4;
// The finish value: "Update [ready]" in the title and the progress panel.
constexpr float kSuccessProgress = -1000.0f;

}  // namespace

TermProg::TermProg(const LoaderContext& context, std::unique_ptr<DownloadLine> line)
    : ctx_(context),
      line_(std::move(line)),
      retryTimer_(ctx_.loop.CreateTimer([this] { RetryPiece(); })),
      silenceTimer_(ctx_.loop.CreateTimer([this] { Silent(); })) {
  retryTimer_->SetInterval(kRetryMs);
  silenceTimer_->SetInterval(kSilenceMs);
}

TermProg::~TermProg() {
  if (subscribed_) ctx_.events.Unsubscribe(&Callback, this);
}

void TermProg::Start() {
  if (!subscribed_) subscribed_ = ctx_.events.Subscribe(&Callback, this);
  line_->ChangeHandShake(serial::RTS_CTS);
  line_->ChangeBaudrate(serial::B_19200);
  stop_ = false;
  ended_ = false;
  sending_ = false;
  inbox_.Clear();
  sendPosition_ = 0;
  file_.clear();
  WatchSilence();
}

void TermProg::Stop() {
  stop_ = true;
  sending_ = false;
  retryTimer_->SetEnabled(false);
  silenceTimer_->SetEnabled(false);
}

core::TEventRecord TermProg::Callback(void* object, core::TEvents&, core::TEventRecord event) {
  if (event.Kind != core::EVT_MSG) return event;
  return static_cast<TermProg*>(object)->Handle(event.Code) ? core::TEventRecord{} : event;
}

bool TermProg::Handle(std::int32_t code) {
  switch (code) {
    case updater::EV_SERIAL_DATA:
      Receive();
      return true;
    case updater::EV_BL_ERASING:
      Prepare();
      return true;
    case updater::EV_BL_WAITING:
      BeginDownload();
      return true;
    case updater::EV_BL_SEND_PIECE:
      // While a refused piece waits for its retry, the step queued ahead of
      // it has nothing to do: the retry sends it.
      if (!retryTimer_->Enabled()) SendPiece();
      return true;
    case updater::EV_BL_PROGRAMMED:
      Succeed();
      return true;
    case updater::EV_BL_DEFECT:
      ctx_.output.Log(ctx_.output.Pick(basic::kTransmitError));
      Abort();
      return true;
    case updater::RP_ABORT:
      Abort();
      return true;
    default:
      return false;
  }
}

// --- receiving ------------------------------------------------------------------

void TermProg::Receive() {
  std::uint8_t* to = inbox_.MakeRoom();
  const int n = ctx_.port.Read(to, static_cast<int>(BasicLoaderInbox::kReadSize));
  if (n <= 0) return;
  inbox_.Added(static_cast<std::size_t>(n));
  if (!ended_) WatchSilence();
  inbox_.Match([this](std::int32_t event) { ctx_.events.PostMessage(event); });
}

void TermProg::Prepare() {
  ctx_.view.ClearLog();
  ctx_.output.Log(ctx_.output.Pick(basic::kPreparing));
}

// --- the download -------------------------------------------------------------------

const char* TermProg::FileFor(char reply208Byte) { return reply208Byte == '0' ? kFileH : kFileL; }

bool TermProg::IsTerminalFile(std::string_view name) {
  const auto sameLetters = [name](std::string_view file) {
    return std::ranges::equal(name, file, [](unsigned char a, unsigned char b) {
      return std::toupper(a) == std::toupper(b);
    });
  };
  return sameLetters(kFileH) || sameLetters(kFileL);
}

TiTxtResult TermProg::ReadFirmware(const std::string& path, std::vector<std::uint8_t>& bytes) {
  const TiTxtError error = ReadFileBytes(path, kFileBytes, bytes);
  if (error != TiTxtError::None) return {error, 0};
  return CheckSRecords(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TermProg::BeginDownload() {
  const char* name = FileFor(ctx_.record.Reply208Byte);
  fileLetter_ = name == kFileH ? 'H' : 'L';
  const TiTxtResult read = ReadFirmware(platform::ResolveCaseless(ctx_.config.workDir, name), file_);
  if (!read.Ok()) {
    // Nothing has been sent: the instrument still waits for a whole file.
    file_.clear();
    ShowBox(RefusalText(read, name));
    End(false);
    return;
  }
  ctx_.view.SetProgressMax(100);
  ctx_.output.Log(ctx_.output.Pick(basic::kProgramming));
  sendPosition_ = 0;
  writeError_ = false;
  sending_ = true;
  ctx_.view.SetStatusPanel(kStatusPanel, "");
  ctx_.events.PostMessage(updater::EV_BL_SEND_PIECE);
}

std::string TermProg::RefusalText(const TiTxtResult& read, const char* name) const {
  std::string_view text;
  switch (read.error) {
    case TiTxtError::FileMissing:
    case TiTxtError::FileUnreadable: text = ctx_.output.Pick(basic::kCannotOpen); break;
    case TiTxtError::FileTooLarge: text = ctx_.output.Pick(basic::kTooLarge); break;
    case TiTxtError::FileEmpty: text = ctx_.output.Pick(basic::kEmpty); break;
    default: return std::string(FileProblemText(read.error, name, read.line, ctx_.language).view());
  }
  return core::ReplaceAll(core::ReplaceAll(text, "FILE", name), "BYTES", std::to_string(kFileBytes));
}

void TermProg::SendPiece() {
  if (stop_ || !sending_) return;
  const bool last = sendPosition_ + kPieceBytes > file_.size();
  const std::size_t piece = last ? file_.size() - sendPosition_ : kPieceBytes;
  if (piece == 0) {
    sending_ = false;  // the whole file is with the port
    return;
  }
  // The next step is queued before this piece is written, so that it is
  // tried as soon as the writer has put this one on the line.
  if (!last) ctx_.events.PostMessage(updater::EV_BL_SEND_PIECE);
  const int result = line_->WriteAsync(file_.data() + sendPosition_, static_cast<int>(piece));
  if (result > 0) {
    Taken(piece);
    if (last) sending_ = false;
  } else if (result == DownloadLine::kBusy) {
    retryTimer_->SetEnabled(true);
  } else if (result == DownloadLine::kWriteError) {
    writeError_ = true;
  }
  ReportPieceProgress();
  // After a short write nobody knows what reached the instrument; a port that
  // takes nothing at all is gone. Either way the download cannot go on.
  if (writeError_) {
    Abort();
  } else if (result == 0 || result == DownloadLine::kClosed) {
    LoseConnection();
  }
}

void TermProg::Taken(std::size_t piece) {
  sendPosition_ += piece;
  WatchSilence();
}

void TermProg::ReportPieceProgress() {
  const float progress =
      static_cast<float>(sendPosition_) / static_cast<float>(file_.size()) * 100.0f;
  ctx_.view.SetProgress(static_cast<int>(progress));
  const char status[] = {fileLetter_, writeError_ ? 'T' : ' ', ' ', '\0'};
  ctx_.output.ReportProgress(status, progress);
}

void TermProg::RetryPiece() {
  retryTimer_->SetEnabled(false);
  ctx_.events.PostMessage(updater::EV_BL_SEND_PIECE);
  ctx_.processEvents();
}

// --- the end ----------------------------------------------------------------------

void TermProg::Succeed() {
  ctx_.view.ClearLog();
  ctx_.output.Log(ctx_.output.Pick(basic::kSucceeded));
  ctx_.view.Beep();
  ctx_.output.ReportProgress("", kSuccessProgress);
  End(true);
}

void TermProg::LoseConnection() {
  ctx_.output.Log(ConnectionLostText(ctx_.port.Describe(), ctx_.language));
  Abort();
}

void TermProg::Abort() {
  ctx_.output.Log(ctx_.output.Pick(basic::kAborted));
  Stop();
  End(false);
}

bool TermProg::Interrupt() {
  if (ended_) return false;
  Abort();
  return true;
}

void TermProg::End(bool succeeded) {
  ended_ = true;
  silenceTimer_->SetEnabled(false);
  if (!succeeded) ClearProgress();
  if (ctx_.downloadEnded) ctx_.downloadEnded(succeeded);
}

// The share handed to the port says nothing about what the instrument took:
// a download that failed must not go on showing it (all of it, often).
void TermProg::ClearProgress() {
  ctx_.view.SetProgress(0);
  ctx_.output.ReportProgress("", -1.0f);
}

// --- silence ------------------------------------------------------------------------

void TermProg::WatchSilence() { silenceTimer_->SetEnabled(true); }

void TermProg::Silent() {
  silenceTimer_->SetEnabled(false);
  core::FixedText<16> seconds;
  seconds.Format("%ld", static_cast<long>(kSilenceMs / 1000));
  ctx_.output.Log(core::ReplaceAll(ctx_.output.Pick(basic::kSilent), "SECONDS", seconds.c_str()));
  // Nobody knows what the terminal took: it needs the whole file again, after
  // the power cycle and new start that the abort text asks for.
  Abort();
}

void TermProg::ShowBox(std::string_view text) {
  ctx_.view.MessageBox(text, ctx_.output.Pick(basic::kBoxCaption), updater::BoxIcon::None,
                       updater::BoxButtons::Ok);
}

std::unique_ptr<BackgroundLoader> StartTermProg(const LoaderContext& context) {
  auto download = std::make_unique<TermProg>(
      context, std::make_unique<ComPortDownloadLine>(context.portObject));
  download->Start();
  return download;
}

}  // namespace loaders
