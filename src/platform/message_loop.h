#pragma once
// The main thread's message loop: window messages posted from any thread,
// periodic timers, and the two ways of waiting the logic uses.
//
// Contract:
// - Post() is the only operation that may be called from other threads. It never
//   blocks on the main thread's work and wakes a blocked WaitForMessage().
// - Everything else runs on the main thread. Messages and timer expiries are
//   delivered only inside ProcessPendingMessages(), on the main thread, in the
//   order they were posted; a handler may re-enter the loop.
// - No operation spins: an idle wait blocks until a post, a timer or its deadline.
//
// The plain implementation (PlainMessageLoop) serves the console front end and
// the tests; the Qt front end provides one that runs inside Qt's event loop.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/clock.h"

namespace platform {

/// A window message: its number and first parameter (a port number, say).
struct Message {
  std::uint32_t number = 0;
  std::intptr_t param = 0;
};

/// A periodic timer. While enabled it expires every interval, and each expiry
/// calls its handler on the main thread from ProcessPendingMessages(). Missed
/// expiries are coalesced into one. Enabling (again) starts a full interval.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(Tick ms) = 0;
  virtual Tick Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class MessageLoop {
 public:
  using MessageHandler = std::function<void(const Message&)>;

  virtual ~MessageLoop() = default;

  /// The receiver of posted messages (the main window). Set once before posting.
  virtual void SetMessageHandler(MessageHandler handler) = 0;

  /// Thread-safe. Queues a message for the main thread; false when the loop no
  /// longer accepts messages (it is being shut down).
  virtual bool Post(Message message) = 0;

  /// Creates a disabled timer whose expiries call `onExpiry`. The timer must be
  /// destroyed before the loop.
  virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> onExpiry) = 0;

  /// Delivers the messages pending at the call and the timers due at the call,
  /// then returns. Messages posted meanwhile wait for the next call.
  virtual void ProcessPendingMessages() = 0;

  /// Blocks until a message is pending, a timer is due, or `deadline` (a tick of
  /// Clock()) is reached; delivers nothing. True when something is pending or due.
  virtual bool WaitForMessage(Tick deadline) = 0;

  /// Lets `ms` pass without delivering any message or timer. A window front end
  /// keeps repainting meanwhile; the plain loop sleeps.
  virtual void IdleWithoutDelivering(Tick ms) = 0;

  virtual const Clock& GetClock() const = 0;
};

}  // namespace platform
