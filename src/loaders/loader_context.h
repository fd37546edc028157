#pragma once
// What a programming back-end is given for one step of a run: plain services
// of the window's runtime, the run's record and the line, with no reference
// to the window object itself.
//
// Ownership: every object behind a reference or pointer belongs to the
// workflow or the window and outlives the back-end, which lives for one step
// (the Basic-Loader download: until the window goes). Thread: main thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/delay.h"
#include "core/events.h"
#include "core/timer_pool.h"
#include "platform/message_loop.h"
#include "serial/v24_types.h"
#include "updater/device_record.h"
#include "updater/update_view.h"
#include "updater/window_output.h"

namespace serial {
class TComPort;
}

namespace loaders {

/// The serial line as a back-end uses it. The real one is the port on which
/// the instrument was found (ComPortLink); tests may put anything behind it.
class LoaderPort {
 public:
  static constexpr int kClosed = -10;

  virtual ~LoaderPort() = default;
  /// Writes `length` bytes synchronously; returns the count written, or 0 or
  /// a negative result of the serial component when the line took nothing.
  virtual int Write(const std::uint8_t* data, int length) = 0;
  /// Writes a zero-terminated text synchronously, with the same results.
  virtual int WriteText(const char* text) = 0;
  /// Reads what has arrived, at most `size` bytes, no terminator added;
  /// returns the count (0 when nothing came) or kClosed.
  virtual int Read(std::uint8_t* buffer, int size) = 0;
  virtual void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                                  bool keinNull) = 0;
  virtual void ChangeHandShake(serial::HandshakeTag handshake) = 0;
  /// Keeps the current line settings / brings them back.
  virtual void SaveLastV24Parameter() = 0;
  virtual void LoadLastV24Parameter() = 0;
  /// The code of the bit rate that the line runs at now (the rate at which
  /// the instrument answered, before a loader changes it).
  virtual serial::BaudTag LineBaud() const = 0;
  /// How the user knows the port: "COM3 (/dev/ttyUSB0)"; empty when unknown.
  virtual std::string Describe() const = 0;
};

/// Read-only lookups in the installation's configuration.
struct LoaderConfig {
  std::int32_t startCmdIndex = 0;  ///< 2: leave the line at 9600 8N2 after success
  /// ProgDefFile of the first profile with this processor type ("" when none).
  std::function<std::string(std::int32_t prozTyp)> findProgDefFile;
  std::string workDir;     ///< folder of the firmware files; empty: the working directory
  std::string programDir;  ///< the program's own folder (tools and libraries beside it)
};

struct LoaderContext {
  int language = 0;                 ///< 0 German, 1 English
  updater::UpdateView& view;        ///< wait progress bar, log area, message boxes
  updater::TWindowOutput& output;   ///< placeholders, command log, progress report
  core::TDelay& wait;               ///< pauses (with or without message processing)
  core::TEvents& events;            ///< the run's queue; a back-end subscribes while it runs
  core::TTimerPool& timers;         ///< watchdogs
  platform::MessageLoop& loop;      ///< blocking waits between events
  std::function<void()> processEvents;  ///< drains the queue (re-enters the workflow)
  updater::DeviceRecord& record;    ///< the run's record
  LoaderPort& port;                 ///< the port on which the instrument was found
  serial::TComPort* portObject;     ///< the same port for hand-offs that close and reopen it (may be null)
  LoaderConfig config;
  /// Told how a download that outlives its step ended (the Basic-Loader
  /// download): true success, false abort or no answer. May be empty.
  std::function<void(bool succeeded)> downloadEnded;
  /// True once the user has interrupted the program: a back-end starts no
  /// new frame and ends its run. May be empty (never interrupted).
  std::function<bool()> interrupted;
};

}  // namespace loaders
