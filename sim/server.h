#pragma once
// The simulator's loop: moves bytes between the pty and the instrument, runs
// the instrument's timers, paces the output and keeps the dump files current.
// Blocks in ppoll() until a byte, a deadline or a stop request arrives; it
// never spins. One thread.
#include <chrono>

#include "platform/clock.h"
#include "sim/dump_writer.h"
#include "sim/instrument.h"
#include "sim/pty_transport.h"

namespace sim {

struct ServerOptions {
  bool pace = false;            ///< bytes leave no faster than the line's character rate
  double timeScale = 1.0;       ///< logical time runs this much faster than real time
  const DumpWriter* dump = nullptr;  ///< null: no dump files
  int stopFd = -1;              ///< readable (or hung up): stop serving
  int inputFd = -1;             ///< end of file here also stops serving (-1: not watched)
};

class Server {
 public:
  /// All references must outlive the object.
  Server(PtyTransport& pty, Instrument& instrument, const platform::Clock& clock, ServerOptions options);

  /// Serves until a stop request or end of input; writes the dump a last time.
  /// Returns 0, or 1 when the pty failed.
  int Run();

 private:
  using RealTime = std::chrono::steady_clock::time_point;

  bool ReadLine();
  bool WriteDue();
  bool WriteChunk(OutputChunk& chunk);
  void UpdateDump(bool force);
  bool WaitForWork();

  PtyTransport& pty_;
  Instrument& instrument_;
  const platform::Clock& clock_;
  ServerOptions options_;
  RealTime nextByte_{};      // pacing: the earliest moment the next byte may leave
  std::size_t chunkSent_ = 0;  // bytes of the front chunk already written
  bool blocked_ = false;     // the pty took no more bytes; wait until it is writable
  bool stop_ = false;
};

}  // namespace sim
