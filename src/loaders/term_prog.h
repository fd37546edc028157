#pragma once
// TermProg: the Basic-Loader download. Some instruments carry a boot loader
// that announces itself and its progress with plain-text lines and takes the
// new firmware as a stream of S-record text.
//
// Unlike the other back-ends it runs no loop of its own and does not end by
// itself: Start puts the line at 19200 bit/s with RTS/CTS and subscribes the
// event callback, which stays subscribed until the object is destroyed and
// from then on reads every arrival on the port itself (so the reply parser
// reads nothing). The Basic-Loader's lines are matched in the received text
// (BasicLoaderInbox); when it waits for S-records, the firmware file
// ("L3_TermH.A37" when the instrument's reply-208 byte is "0", else
// "L3_TermL.A37", in the installation's folder) is read whole and handed to
// the port's writer thread in pieces of 2000 bytes, unchanged. Each piece's
// step queues the next one before it writes, so the line never runs dry; a
// piece that the busy writer refuses is tried again after a short timer, never
// in a spin. A short write, a port that is gone, a defective record, the
// instrument's reply 2 or kSilenceMs in which the instrument sent nothing and
// no piece was taken abort the download; a file that is missing, empty,
// larger than the download takes or not a whole S-record file is refused
// before anything is sent (the workflow has checked it before the instrument
// was asked to erase, so this only meets a file changed since).
//
// The end of the download (success, abort or refused file) is told to the
// front end through LoaderContext::downloadEnded; the window goes on
// listening, the console ends its run.
//
// Main thread only; the handlers are re-entered from nested drains, so all
// state lives in fields.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "loaders/basic_loader_inbox.h"
#include "loaders/download_line.h"
#include "loaders/loader_context.h"
#include "loaders/loader_registry.h"
#include "loaders/ti_txt_image.h"

namespace loaders {

class TermProg final : public BackgroundLoader {
 public:
  static constexpr std::size_t kPieceBytes = 2000;
  static constexpr std::size_t kFileBytes = 2500000;
  static constexpr platform::Tick kRetryMs = 10;
  static constexpr platform::Tick kSilenceMs = 60000;

  TermProg(const LoaderContext& context, std::unique_ptr<DownloadLine> line);
  ~TermProg() override;
  TermProg(const TermProg&) = delete;
  TermProg& operator=(const TermProg&) = delete;

  /// Sets the line (RTS/CTS, 19200 bit/s), subscribes, and resets the
  /// download. Called once.
  void Start();
  /// No further pieces are sent (the window closes).
  void Stop();
  void RequestStop() override { Stop(); }
  /// Aborts a download under way (the abort text, no more pieces); false
  /// when none is.
  bool Interrupt() override;

  /// The two files a terminal can take, by the first character of the
  /// instrument's reply 208 ("0": the first).
  static const char* FileFor(char reply208Byte);
  /// `name` (a configured second-component file, in any letter case) is one
  /// of those two files: that component is a terminal, updated through its
  /// Basic-Loader.
  static bool IsTerminalFile(std::string_view name);
  /// The S-record file at `path` as the download sends it: within
  /// kFileBytes, every record well formed with its checksum, and closed by
  /// its end record.
  static TiTxtResult ReadFirmware(const std::string& path, std::vector<std::uint8_t>& bytes);

  bool Stopped() const { return stop_; }
  std::size_t SendPosition() const { return sendPosition_; }
  std::size_t BytesRead() const { return file_.size(); }

 private:
  static core::TEventRecord Callback(void* object, core::TEvents& queue, core::TEventRecord event);
  bool Handle(std::int32_t code);
  void Receive();
  void Prepare();
  void BeginDownload();
  void SendPiece();
  void Taken(std::size_t piece);
  void ReportPieceProgress();
  void Succeed();
  void LoseConnection();
  void Abort();
  void End(bool succeeded);
  void ClearProgress();
  void RetryPiece();
  void WatchSilence();
  void Silent();
  void ShowBox(std::string_view text);
  std::string RefusalText(const TiTxtResult& read, const char* name) const;

  LoaderContext ctx_;
  std::unique_ptr<DownloadLine> line_;
  BasicLoaderInbox inbox_;
  std::vector<std::uint8_t> file_;
  std::size_t sendPosition_ = 0;
  char fileLetter_ = 'L';
  bool stop_ = false;
  bool ended_ = false;
  bool sending_ = false;
  bool writeError_ = false;
  bool subscribed_ = false;
  std::unique_ptr<platform::Timer> retryTimer_;
  std::unique_ptr<platform::Timer> silenceTimer_;
};

/// The registry's maker: a TermProg on the found port, started.
std::unique_ptr<BackgroundLoader> StartTermProg(const LoaderContext& context);

}  // namespace loaders
