#pragma once
// What the workflow hands a boot loader for one programming run, and the two
// small interfaces through which a loader reaches the line and the window.
//
// Ownership: the loader keeps copies of the pointers and functions only; every
// object behind them belongs to the workflow and must outlive the loader.
// Thread: everything is used on the main thread.
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

namespace loaders {

/// The serial line as a loader uses it. The real one is the port on which the
/// instrument was found (ComPortLink); tests may put anything behind it.
class LoaderPort {
 public:
  static constexpr int kClosed = -10;

  virtual ~LoaderPort() = default;
  /// Writes `length` bytes synchronously; returns the count written or a
  /// negative result of the serial component.
  virtual int Write(const std::uint8_t* data, int length) = 0;
  /// Writes a zero-terminated text synchronously.
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
};

struct LoaderContext {
  int language = 0;                          ///< 0 German, 1 English
  updater::UpdateView* view = nullptr;       ///< the wait progress bar and the message boxes
  /// The window's progress report (status panel and title).
  std::function<void(std::string_view prefix, float percent)> reportProgress;
  /// The window's command log (shown in debug mode).
  std::function<void(std::string_view text)> logCommand;
  core::TDelay* wait = nullptr;              ///< pauses without message processing
  updater::DeviceRecord* record = nullptr;   ///< the run's record
  LoaderPort* port = nullptr;                ///< the port on which the instrument was found
  core::TEvents* events = nullptr;           ///< the event queue (the loader subscribes while it runs)
  std::function<void()> processEvents;       ///< the window's drain of the queue
  core::TTimerPool* timers = nullptr;        ///< the watchdog
  platform::MessageLoop* loop = nullptr;     ///< blocking waits between events
  std::int32_t startCmdIndex = 0;            ///< 2: leave the line at 9600 8N2 after success
  /// ProgDefFile of the first profile with this processor type ("" when none).
  std::function<std::string(std::int32_t prozTyp)> findProgDefFile;
  /// Folder of the firmware files and "Patch.TXT"; empty: the working directory.
  std::string workDir;
};

}  // namespace loaders
