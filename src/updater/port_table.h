#pragma once
// TPortTable: the open serial ports, one TComPort per usable port, the
// window's own UpdateCom always at position 0, and the COM number of each
// position. Owns every port object; Close closes and releases them.
// Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "platform/message_loop.h"
#include "serial/com_port.h"
#include "updater/update_settings.h"

namespace updater {

class TPortTable {
 public:
  /// `loop` receives the ports' notifications; `errorBox` shows a port that
  /// cannot be opened (the reason and, for a permission problem, the hint to
  /// join the dialout group come with the text).
  TPortTable(platform::MessageLoop& loop, serial::ErrorBox errorBox);
  ~TPortTable();

  /// Lets UpdateCom rescan the ports and notes the usable ones.
  void Scan();
  int UsableCount() const { return static_cast<int>(usable_.size()); }

  /// Opens the ports as the settings say: with a fixed port only UpdateCom on
  /// that port (an invalid index opens none); otherwise UpdateCom on the first
  /// usable port and one further TComPort per further usable port, each given
  /// UpdateCom's line settings. A port that cannot be opened stays in the
  /// table (its reads and writes then report a closed port). Returns the
  /// status panel 0 text: "Com3", or "[Com3] [4] [7]".
  std::string Open(const UpdateSettings& settings, bool fixedPortValid);

  /// Why each mapped port that is not usable cannot be opened, one text per
  /// port: "COM2 (/dev/null): not a serial device", "... in use by minicom
  /// (pid 1234)", "... permission denied: add yourself to the dialout
  /// group ...", "... not present". From a trial opening of UpdateCom; call
  /// while no port of the table is open.
  std::vector<std::string> UnusableReasons();

  int Count() const { return static_cast<int>(table_.size()); }
  /// How many ports of the table are open (a port that failed to open stays
  /// in the table closed).
  int OpenCount() const;
  serial::TComPort* At(int position) const;
  /// COM number of a position; 0 when out of range.
  int PortNumber(int position) const;
  /// Position of the port with COM number `number`; -1 when none. With a
  /// fixed port it is always 0.
  int PositionOf(int number) const;
  /// "COM3 (/dev/ttyUSB0)" for a position: the COM number with its device.
  std::string Label(int position) const;

  /// Writes `data` (`length` bytes, -1: zero-terminated) to every port in
  /// table order, synchronously.
  void SendToAll(const char* data, int length);

  /// Opens again every port whose device went away (TComPort::Reconnect).
  void ReconnectLost();

  /// Closes every port, releases the port objects and empties the table.
  void Close();
  /// Closes every port and empties the table, keeping UpdateCom, so that
  /// Scan and Open can run again.
  void Reset();

  /// The trace of every port object, present and future (null: none).
  void SetTrace(serial::PortTrace* trace);
  /// The language of the ports' own messages (0 German, else English), for
  /// every port object, present and future.
  void SetLanguage(int language);

 private:
  void Configure(serial::TComPort& port);
  serial::TComPort& OpenPort(std::unique_ptr<serial::TComPort> port, int index);

  platform::MessageLoop& loop_;
  serial::ErrorBox errorBox_;
  std::vector<std::unique_ptr<serial::TComPort>> ports_;  // ports_[i] is table_[i]
  std::vector<serial::TComPort*> table_;
  std::vector<int> numbers_;   // COM number per position
  std::vector<int> usable_;    // usable port indices from the last scan
  serial::PortTrace* trace_ = nullptr;
  int language_ = 0;
  bool fixed_ = false;
};

}  // namespace updater
