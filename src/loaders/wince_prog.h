#pragma once
// TWinCEProg: copies whole files to an instrument that runs Windows CE, over
// the running firmware's text protocol: the main file and then every further
// file of the record's ExtraFiles, in frames of up to 2000 bytes at 38400
// bit/s, every step acknowledged by the instrument ("!").
//
// The workflow creates one object per run, calls Program once and destroys
// the object. Program checks every file first (a file that is missing,
// unreadable or larger than 3,000,000 bytes is refused with a message naming
// it before anything is sent), then runs the conversation and returns only
// when it has ended, driving the event queue and the message loop itself
// meanwhile; its event callback is subscribed only while it runs.
//
// The line: the instrument is told to go to 38400 bit/s, and at the end back
// to the rate at which it answered, also when the run fails or is
// interrupted at the raised rate (unless the line is lost), so that the next
// run finds it; the port's own settings are back as they were on every way out.
//
// Retries: when no acknowledgement came for kWatchdogMs although the
// instrument sent something meanwhile (noise, requests for a block), the
// current file is ended with "A.1202" and, once the instrument answers that
// within kResyncAnswerMs, sent again from its header, up to kFileRepeats
// times in a run. An instrument that sent nothing ends the transfer at once.
//
// Results: Program returns 1 when the instrument acknowledged the whole
// transfer and its return to its rate, else 0 after the reason was shown: 8000
// ms without an acknowledgement, reply 261 with a text other than "2", a file
// refused, or a line that took no more bytes. A "?" from the instrument is
// logged; only the silence that follows ends the transfer. Main thread only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "loaders/loader_context.h"
#include "loaders/loader_registry.h"
#include "loaders/loader_session.h"
#include "loaders/wince_file.h"
#include "loaders/wince_frames.h"
#include "loaders/wince_texts.h"

namespace loaders {

class TWinCEProg final : public ProgrammingLoader, private SessionEvents {
 public:
  static constexpr std::size_t kMaxFileBytes = 3000000;
  static constexpr std::int32_t kWatchdogMs = 8000;
  /// How often a file may be sent again from its header in one run.
  static constexpr int kFileRepeats = 2;
  /// The instrument answers a command line within a fraction of a second.
  static constexpr std::int32_t kResyncAnswerMs = 2000;

  explicit TWinCEProg(const LoaderContext& context);
  TWinCEProg(const TWinCEProg&) = delete;
  TWinCEProg& operator=(const TWinCEProg&) = delete;

  /// Program with WinCEArgs; any other arguments are refused with 0.
  int Program(const ProgramArgs& args) override;
  /// The whole transfer of `fileName` and the ExtraFiles; true when it ended
  /// without failure. `force`: the instrument takes the files whatever it holds.
  bool Program(const char* fileName, bool force);
  /// Writes a text command and logs it; false when the line took nothing.
  bool Send(const char* text);

 private:
  /// The conversation in its order; each step runs on the acknowledgement of
  /// the one before, unless noted.
  enum class Step : std::uint8_t {
    None,
    RaiseLine,      ///< "A.1300#38400", then the port follows
    LineChanging,   ///< (the pause of a rate change: an acknowledgement is noted)
    FileHeader,     ///< name, DOS stamp and size of the current file
    DataBlock,      ///< the next frame, again until the file is sent
    EndOfFile,      ///< "A.1202"
    NextFile,       ///< the next ExtraFiles entry, or the end of the transfer at once
    EndOfTransfer,  ///< "A.1203"
    RestoreLine,    ///< "A.1300#<the instrument's rate>", then the port follows
    Finish,
    FileEnded,      ///< the answer to "A.1202" that ends a file to be sent again
  };

  void OnWatchdog() override;
  bool OnMessage(const core::TEventRecord& event) override;
  void OnRunEnd() override;

  void Run(Step step);
  void Acknowledged();
  void BlockReply(const char* text);

  void RaiseLine();
  void FileHeader();
  void DataBlock();
  void EndOfFile();
  void NextFile();
  void EndOfTransfer();
  void RestoreLine();
  bool AwaitRateChange(serial::BaudTag baud);
  void Continue(Step then);
  bool InFile() const;
  void RepeatFile();
  void ResumeFile();

  bool CheckFiles(const char* mainFile);
  bool CheckFile(std::string_view name);
  bool LoadFile(std::string_view name);
  std::int32_t ExtraFileCount() const;
  void FailWith(const wince::MessageText& text);
  void ReportFailure() const;

  LoaderContext ctx_;
  LoaderSession session_;
  Step next_ = Step::None;
  bool earlyAcknowledge_ = false;  ///< an acknowledgement came during a rate change's pause
  bool lineRaised_ = false;        ///< the instrument was told to use 38400 bit/s
  bool heardSinceAck_ = false;     ///< bytes arrived since the last acknowledgement
  bool resyncing_ = false;         ///< "A.1202" went out to end a file to be sent again
  int repeatsLeft_ = kFileRepeats;
  bool force_ = false;
  serial::BaudTag instrumentBaud_ = serial::B__9600;  ///< the line's rate before it was raised
  std::string fileName_;
  wince::TransferFile file_;
  std::size_t sendPosition_ = 0;
  std::int32_t extraTaken_ = 0;
  std::array<std::uint8_t, wince::kMaxFrame> lastFrame_{};  ///< kept for a resend
  std::size_t lastFrameLength_ = 0;
  wince::MessageText failureText_;
};

}  // namespace loaders
