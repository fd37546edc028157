#pragma once
// LoaderSession: the run machinery that every programming conversation shares,
// whatever its protocol: the event callback (subscribed only while a run goes
// on), the run flags, the watchdog, checked writes, the receive buffer,
// progress, pauses, the loop that waits until the conversation is done, and
// the end of a run (line settings back, a pause, unsubscription).
//
// A write that the line does not take (the adapter was unplugged, EIO, the
// port was closed) ends the run at once as failed and remembers that the
// connection was lost; nothing is written after that.
//
// Once the user has interrupted the program (LoaderContext::interrupted), the
// next frame is not written: the run ends as failed and interrupted where it
// stands, between two frames, with the answer to the last one received (or its
// time-out run out). The protocol's OnRunEnd may then still talk to its far end
// (ClosingExchange) to leave it as the next run expects it.
//
// Each loader object owns its own session. Main thread only; the steps are
// re-entered from nested message loops, so all run state lives in fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

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

/// What a protocol does with the events of its run.
class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  /// The watchdog expired.
  virtual void OnWatchdog() = 0;
  /// A message of the queue during the run (serial data has already restarted
  /// the watchdog). True when it was taken; false passes it on.
  virtual bool OnMessage(const core::TEventRecord& event) = 0;
  /// A command of the queue (the OK button's run start) during the run. True
  /// when it was taken; by default every command passes on.
  virtual bool OnCommand(const core::TEventRecord& /*event*/) { return false; }
  /// The conversation is over (done); the line still has the loader's own
  /// settings and nothing has been read away yet. By default nothing happens.
  virtual void OnRunEnd() {}
};

/// How the line is left at the end of a run.
struct RunEnd {
  long pauseMs = 0;  ///< pause after the line settings were put back
  /// After a success the line goes to 9600 8N2 instead of its old settings.
  bool nineSixHundredAfterSuccess = false;
  /// Pause before the line settings change, so that the last command leaves
  /// the line at the loader's own rate.
  long settleMs = 0;
};

class LoaderSession {
 public:
  static constexpr std::size_t kReceiveBytes = 1000;

  LoaderSession(const LoaderContext& context, SessionEvents& handler) : ctx_(context), handler_(handler) {}
  LoaderSession(const LoaderSession&) = delete;
  LoaderSession& operator=(const LoaderSession&) = delete;

  const LoaderContext& Context() const { return ctx_; }
  updater::DeviceRecord& Record() const { return ctx_.record; }

  // --- run flags --------------------------------------------------------------
  bool failed = false;
  bool done = false;
  /// Whether any arriving data restarts the watchdog (the boot loaders), or
  /// only what the protocol itself counts as progress (WinCE acknowledgements).
  bool dataRestartsWatchdog = true;
  /// Ends the conversation as failed.
  void Fail() {
    done = true;
    failed = true;
  }
  /// The line stopped taking bytes during this run.
  bool ConnectionLost() const { return connectionLost_; }
  /// The run ended because the user interrupted the program.
  bool Interrupted() const { return interrupted_; }

  // --- writes and pauses --------------------------------------------------------
  /// Writes the text and hands it to the command log. False (and the run
  /// ends) when the line did not take it.
  bool Send(const char* text);
  /// Writes bytes; false (and the run ends) when the line did not take them.
  bool WriteBytes(const std::uint8_t* data, std::size_t length);
  /// Waits without processing messages.
  void Pause(long ms);
  /// For OnRunEnd only, also after an interruption: writes `data` and waits
  /// up to `ms` for the byte `answer` among what arrives (bytes before it are
  /// read away; the rest is read away at the end of the run, never by the
  /// reply parser). True when it came; false at once when the line is lost.
  bool ClosingExchange(const std::uint8_t* data, std::size_t length, std::uint8_t answer, long ms);

  // --- line -----------------------------------------------------------------------
  /// Puts the loader's own settings on the line; from now on bytes that are
  /// still queued when the run has ended belong to the loader and are dropped.
  void SetLine(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
               serial::HandshakeTag handshake);

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
  /// Empties the buffer and reads away what has arrived on the port.
  void DiscardArrived();

  // --- the run ----------------------------------------------------------------
  /// Subscribes, keeps the line settings, starts the watchdog, calls
  /// `opening`, waits until done, then puts the line back as `end` says,
  /// pauses, unsubscribes and stops the watchdog. True when the run did not fail.
  bool Conduct(std::int32_t watchdogMs, const RunEnd& end, const std::function<void()>& opening);
  /// Shows an error box with `text`.
  void ShowError(std::string_view text) const;
  /// Shows the lost-connection message naming the port.
  void ShowConnectionLost() const;
  /// Shows why a failed run ended: the lost connection, or `text`; nothing
  /// after an interruption, which the workflow reports for the whole run.
  void ShowFailure(std::string_view text) const;

 private:
  static core::TEventRecord Callback(void* object, core::TEvents& queue, core::TEventRecord event);
  core::TEventRecord OnEvent(const core::TEventRecord& event);
  core::TEventRecord AfterTheEnd(const core::TEventRecord& event);
  bool Took(int result, std::size_t length);
  bool StopsHere();
  bool Put(const std::uint8_t* data, std::size_t length);
  bool AnswerArrived(std::uint8_t answer);
  void RunUntilDone();
  void DeliverPending();

  const LoaderContext& ctx_;
  SessionEvents& handler_;
  std::int32_t watchdog_ = 0;
  bool ownLine_ = false;  ///< the line has the loader's settings
  bool connectionLost_ = false;
  bool interrupted_ = false;
  std::int32_t progressMax_ = 0;
  std::array<std::uint8_t, kReceiveBytes> rx_{};
  std::uint16_t rxCount_ = 0;
};

}  // namespace loaders
