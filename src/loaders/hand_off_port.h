#pragma once
// HandOffPort: the found port as a hand-off to an outside programmer (the
// updater library or a tool) needs it: released for the duration and taken
// back afterwards, with the COM-to-device map the outside program gets as
// UPDATER_PORTS. ComPortHandOff is the real serial port; tests put a double
// in its place. Main thread only.
#include <string>

#include "platform/message_loop.h"
#include "serial/com_port.h"
#include "serial/v24_types.h"

namespace loaders {

class HandOffPort {
 public:
  virtual ~HandOffPort() = default;
  /// The port index (0 = COM1).
  virtual int Index() const = 0;
  /// The device paths in COM order, ',' between them ("/dev/ttyS0,,/dev/pts/3").
  virtual std::string DeviceList() const = 0;
  /// Keeps the line settings in the last-settings slot and closes the port.
  virtual void Release() = 0;
  /// Opens the port again; false when that failed (the serial component has
  /// shown its message).
  virtual bool Retake() = 0;
  /// Brings back the settings kept by Release.
  virtual void RestoreLine() = 0;
  virtual void SetLine(serial::BaudTag baud, serial::StopBitTag stopBits,
                       serial::ParitaetTag parity, bool keinNull) = 0;
};

class ComPortHandOff final : public HandOffPort {
 public:
  /// `port` is open; notifications of the reopened port go to `loop`.
  ComPortHandOff(serial::TComPort& port, platform::MessageLoop& loop)
      : port_(port), loop_(loop), index_(port.OpenIndex()) {}

  int Index() const override { return index_; }
  std::string DeviceList() const override;
  void Release() override;
  bool Retake() override { return port_.Open(&loop_, index_, true) > 0; }
  void RestoreLine() override { port_.LoadLastV24Parameter(); }
  void SetLine(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
               bool keinNull) override {
    port_.ChangeV24Parameter(baud, stopBits, parity, keinNull);
  }

 private:
  serial::TComPort& port_;
  platform::MessageLoop& loop_;
  int index_;
};

}  // namespace loaders
