#pragma once
// The simulator's loop: moves bytes between the pty and the instrument, runs
// the instrument's timers, paces the output and keeps the dump files current.
// Blocks in ppoll() until a byte, a deadline or a stop request arrives; it
// never spins. One thread. With pacing, both directions run at the line's
// character rate: what the updater writes reaches the instrument one
// character time after another, and for a flow-controlled protocol (the
// Basic-Loader) the rest waits in the pty, whose full buffer holds the sender
// back as CTS would.
//
// Operator actions arrive as lines on the input: "power-cycle" (the user
// switches the instrument off and on) and "power-cycle boot-key" (the same
// with the key held that starts the boot loader) and "clear-faults" (the
// planned faults are over; a port that was pulled out is there again, as a
// new pty that the link points at). Each is confirmed with
// "done ACTION" on the report descriptor; anything else is named on stderr.
#include <chrono>
#include <deque>
#include <optional>
#include <vector>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "sim/dead_time.h"
#include "sim/dump_writer.h"
#include "sim/instrument.h"
#include "sim/pty_transport.h"

namespace sim {

struct ServerOptions {
  bool pace = false;            ///< bytes leave no faster than the line's character rate
  double timeScale = 1.0;       ///< logical time runs this much faster than real time
  const DumpWriter* dump = nullptr;  ///< null: no dump files
  int stopFd = -1;              ///< readable (or hung up): stop serving
  int inputFd = -1;             ///< operator actions, one a line; end of file stops serving (-1: not watched)
  int reportFd = -1;            ///< "done ACTION" lines for the actions carried out (-1: none)
  const char* link = nullptr;   ///< kept pointing at the slave when the pty is opened anew (null: none)
};

class Server {
 public:
  /// All references must outlive the object.
  Server(PtyTransport& pty, Instrument& instrument, const platform::Clock& clock, ServerOptions options);

  /// Serves until a stop request or end of input; writes the dump a last time.
  /// Returns 0, or 1 when the pty failed.
  int Run();

  /// The idle time between the instrument's replies and the updater's next
  /// frames; read it once Run() has returned.
  const DeadTime& DeadTimes() const { return deadTime_; }

 private:
  using RealTime = std::chrono::steady_clock::time_point;

  // Received bytes on their way to the instrument (pacing).
  struct Inbound {
    std::vector<std::uint8_t> bytes;
    LineSettings seen;                 // how the updater had set the line
    RealTime start;                    // the line began to carry the first byte
    std::chrono::nanoseconds charTime;
    std::size_t fed = 0;               // bytes the instrument has got
  };

  bool ReadLine();
  LineSettings SettingsOfArrival() const;
  void FeedDue();
  std::optional<RealTime> NextFeed() const;
  std::chrono::nanoseconds ReadCharTime() const;
  std::chrono::nanoseconds CharTime(const LineSettings& line) const;
  std::size_t ReadRoom() const;
  bool WriteDue();
  bool WriteChunk(OutputChunk& chunk);
  void UpdateDump(bool force);
  bool WaitForWork();
  void ReadInput();
  void CarryOut(std::string_view action);
  void Unplug();
  void DropLineTraffic();
  bool Replug();

  PtyTransport& pty_;
  Instrument& instrument_;
  const platform::Clock& clock_;
  ServerOptions options_;
  RealTime nextByte_{};      // pacing: the earliest moment the next byte may leave
  RealTime lineFree_{};      // pacing: when the line has carried every byte read so far
  std::deque<Inbound> inbound_;
  std::size_t inboundBytes_ = 0;  // not yet fed
  LineSettings settingsWhenIdle_;  // the updater's settings when a read last found nothing
  std::size_t chunkSent_ = 0;  // bytes of the front chunk already written
  bool blocked_ = false;     // the pty took no more bytes; wait until it is writable
  bool stop_ = false;
  std::string input_;        // the operator's action line being received
  DeadTime deadTime_;
};

}  // namespace sim
