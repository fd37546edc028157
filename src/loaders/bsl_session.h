#pragma once
// BslSession: the run machinery that both MSP430 boot loaders share: the
// event callback (subscribed only while a run goes on) that turns the events
// of the queue into the loader's ConversationSteps, the run flags, the
// watchdog, the receive buffer, progress, pauses, the text commands of the
// instrument's firmware, the loop that waits until the conversation is done,
// and the end of a run (line settings, message box).
//
// Each loader object owns its own session, so two loaders never share state.
// Main thread only; the steps are re-entered from nested message loops, so
// all run state lives in fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/fixed_text.h"
#include "loaders/loader_context.h"

namespace loaders {

/// Remembers which retry actions have been spent. An action goes into the
/// first slot that does not already hold it; when every slot holds it, the
/// action has no retry left. Slots are never cleared during a run, so retries
/// of one action count over the whole run.
template <typename Action, std::size_t N>
class RetryHistory {
 public:
  /// True when a retry of `action` is allowed (it has been recorded).
  bool Admit(Action action) {
    for (Action& slot : slots_) {
      if (slot != action) {
        slot = action;
        return true;
      }
    }
    return false;
  }

 private:
  std::array<Action, N> slots_{};
};

/// What a loader does with the events of its run.
struct ConversationSteps {
  std::function<void(const char* text)> replyText;  ///< numbered reply 80 or 81
  std::function<void()> acknowledged;               ///< a reply line with "!"
  std::function<void()> replyLine;                  ///< a reply line with "A." or "C."
  std::function<void()> bslData;                    ///< serial data in the boot-loader phase
  std::function<void()> bslTimeout;                 ///< no data for a while in that phase
};

class BslSession {
 public:
  static constexpr std::size_t kReceiveBytes = 1000;

  /// `stepCode` is the loader family's process-wide step in progress.
  BslSession(const LoaderContext& context, std::int32_t& stepCode) : ctx_(context), stepCode_(stepCode) {}

  /// Set by the loader before its run. After the end of a conversation none
  /// of them runs again.
  ConversationSteps steps;

  const LoaderContext& Context() const { return ctx_; }
  updater::DeviceRecord& Record() const { return *ctx_.record; }

  // --- run flags --------------------------------------------------------------
  bool failed = false;
  bool done = false;
  bool bslMode = false;
  /// Ends the conversation as failed.
  void Fail() {
    done = true;
    failed = true;
  }

  // --- text phase -------------------------------------------------------------
  /// Writes the text to the port and hands it to the command log. Always true.
  bool Send(const char* text);
  static const char* QueryCommand(int componentIndex);
  static const char* EnterCommand(int componentIndex);

  // --- binary writes and pauses ----------------------------------------------
  void WriteBytes(const std::uint8_t* data, std::size_t length);
  /// Waits without processing messages.
  void Pause(long ms);

  // --- watchdog -----------------------------------------------------------------
  void StartWatchdog(std::int32_t ms);
  void RestartWatchdog();
  void StopWatchdog();
  bool IsWatchdog(const core::TEventRecord& event) const {
    return event.Kind == core::EVT_TIMER && watchdog_ != 0 && event.Code == watchdog_;
  }

  // --- progress -----------------------------------------------------------------
  void SetProgress(int position);
  void SetProgressMax(std::int32_t maximum);
  std::int32_t ProgressMax() const { return progressMax_; }
  /// Advances the bar by one and reports position / maximum.
  void Advance();
  void ReportPosition();
  void Report(float percent);

  // --- receive buffer -------------------------------------------------------
  /// Reads what has arrived into the free part of the buffer; a full buffer
  /// of bytes that no step took is emptied first (they are stale). Returns the
  /// read result (LoaderPort::kClosed when the port is closed).
  int ReadArrived();
  std::uint8_t* Received() { return rx_.data(); }
  std::size_t ReceivedCount() const { return rxCount_; }
  /// Takes `count` bytes out at `position`; later bytes move up.
  void TakeOut(std::size_t position, std::size_t count = 1);
  void ClearReceived() { rxCount_ = 0; }
  /// Empties the buffer and reads away what has arrived on the port: the
  /// firmware's last text reply is no answer of the boot loader.
  void DiscardArrived();

  // --- the run ----------------------------------------------------------------
  /// The run after the image was read: subscribes, keeps the line settings,
  /// starts the 15000 ms watchdog, calls `opening`, waits until done, then
  /// restores the line (or leaves it at 9600 8N2 after a success with
  /// StartCmdIndex 2), pauses 1500 ms, unsubscribes and stops the watchdog.
  /// True when the run did not fail.
  bool Conduct(const std::function<void()>& opening);
  /// Shows the message of a failed run; returns its result code.
  std::int32_t ReportFailure();
  /// Shows failureText for a file refused before anything was sent; returns
  /// the result code of a failure outside the steps.
  std::int32_t RefuseFile();
  /// Shows an error box with `text`.
  void ShowError(std::string_view text) const;

  /// The boot loader takes over: after `pauseMs` the line goes to 9600 bit/s,
  /// 8E1 without flow control, what has arrived is dropped, and the 5000 ms
  /// watchdog starts.
  void EnterBootLoaderLine(long pauseMs);
  /// The conversation has ended well.
  void Finish();

  /// A message that replaces the step's error message at the end of a failed
  /// run (a firmware file refused in the middle of the run).
  core::FixedText<512> failureText;

 private:
  static core::TEventRecord Callback(void* object, core::TEvents& queue, core::TEventRecord event);
  core::TEventRecord OnEvent(const core::TEventRecord& event);
  core::TEventRecord AfterTheEnd(const core::TEventRecord& event);
  void RunUntilDone();
  void DeliverPending();

  const LoaderContext& ctx_;
  std::int32_t& stepCode_;
  std::int32_t watchdog_ = 0;
  bool bslLine_ = false;  ///< the line has the boot loader's settings
  std::int32_t progressMax_ = 0;
  std::array<std::uint8_t, kReceiveBytes> rx_{};
  std::uint16_t rxCount_ = 0;
};

}  // namespace loaders
