#pragma once
// TComPort: the serial port component. One object per COM port.
//
// It lists the ports present on the machine, opens one of them with its
// parameter set, runs a reader thread that announces received data to the
// owner's message loop, runs a writer thread with its own 32768-byte transmit
// buffer, and offers reads, writes and changes of the line settings while open.
//
// Threads: every operation is called on the owner's (main) thread. Per open
// port a reader thread posts WM_V24_RXDATA / WM_V24_LINEERROR / WM_V24_OVERRUN
// / WM_V24_PARITY (v24_types.h) through platform::MessageLoop::Post with the
// port number (index + 1) as param; it never hands data over: the owner reads
// the port itself with Read. A writer thread parks on a condition variable and
// performs asynchronous writes.
//
// Notification rule: one outstanding WM_V24_RXDATA per port. After a post the
// reader posts no further WM_V24_RXDATA until Read or Reset_SetAktiv is called,
// except that from the second arrival that finds the notification outstanding a
// 5-second watchdog (logical ms of the owner loop's clock, so the test time
// scale shortens it) runs, after which the next arrival check posts again.
// After each post the reader pauses RXNotification ms. It never spins while a
// notification is outstanding.
//
// Port numbers map to device paths in the driver (see src/serial/README.md):
// discovered real serial devices in a stable order, or the list in the
// environment variable UPDATER_PORTS (colon- or comma-separated paths).
//
// Results (signed 32-bit): kClosed (-10) port not open; kWriterBusy (-1) an
// asynchronous write still runs (or the new writer has not parked yet); kShortWrite
// (-100) a write came out short, sticky until GetWriteStatus or a new Open;
// 0 for a write the device rejected (it vanished). Nothing throws.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/message_loop.h"
#include "platform/serial_driver.h"
#include "serial/port_trace.h"
#include "serial/v24_parameter.h"
#include "serial/v24_types.h"

namespace serial {

/// The port's line settings: the "DCB" (snapshot handed out by
/// LoadV24Parameter and taken back by SaveV24Parameter).
using LineSettings = platform::SerialLineSettings;

class TV24DialogModel;
class TV24Read_Thread;
class TV24Write_Thread;

/// Runs the settings dialog window for a prepared model (v24_dialog_model.h):
/// shows it modally, calls model.Ok() on OK (staying open while Ok() fails) and
/// returns true for OK, false for cancel. Supplied by the window front end.
using DialogRunner = std::function<bool(TV24DialogModel& model)>;

/// Shows the modal error box of Open (one OK button). `text` is 8-bit
/// Windows-1252. Default: a line on stderr (converted to UTF-8).
using ErrorBox = std::function<void(const char* text)>;

class TComPort {
 public:
  static constexpr int kInvalidHandle = -1;
  static constexpr int kClosed = -10;
  static constexpr int kWriterBusy = -1;
  static constexpr int kShortWrite = -100;
  static constexpr std::size_t kBufferSize = 32768;  ///< transmit buffer, framing included

  /// Creates V24 (DefaultV24Parameter) and V24Dialog (all false), Datei
  /// "ComData.cfg", port closed, StreamOn and AutoSearch false, language 0, then
  /// runs Check_AllV24. `driver` must outlive the component.
  explicit TComPort(platform::SerialDriver& driver = platform::DefaultSerialDriver());
  /// Destroys the threads; owners call Close first (if still open, the
  /// destructor closes the port so that no thread outlives the object).
  ~TComPort();
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // --- port lists -------------------------------------------------------------

  /// Rescans ports 1..256: the device list gets every present port (free, held
  /// by another program or another open TComPort, or not permitted), the usable
  /// list the ports that could be opened exclusively; both ascending.
  void Check_AllV24();
  int GetMaxV24Devices() const;
  int GetMaxV24Useable() const;
  /// Port index at position i of the device list; -1 when i is out of range.
  int Get_DeviceV24(int i) const;
  /// Port index at position i of the usable list; -1 when i is out of range.
  int Get_UseableV24(int i) const;

  /// Device path of port index `index` in the driver's map ("" when none).
  std::string DevicePath(int index) const;
  /// "COM3 (/dev/ttyUSB0)": what the user should see for a port index.
  std::string PortLabel(int index) const;

  // --- open and close ---------------------------------------------------------

  /// Opens port index `port` (-1: the stored Schnittstelle; with AutoSearch COM1
  /// first, then positions 1, 2, ... of the device list), configures it from the
  /// parameter set and starts both threads; notifications go to `owner` (may be
  /// null: no notifications). Returns the handle (> 0), 0 when already open
  /// (nothing changes), or kInvalidHandle (-1) on failure, after showing
  /// "COMn konnte nicht geöffnet werden!" / "Cannot open COMn! " when
  /// `showError` (with the reason and, for a permission problem, the hint to
  /// join the dialout group). When Open returns, the writer is ready.
  int Open(platform::MessageLoop* owner, int port, bool showError);
  /// Stops the reader, then the writer (a pending asynchronous request is still
  /// written), restores the line settings and time-outs found at Open (zero-byte
  /// discarding off) and closes the device. No effect when closed.
  void Close();
  bool IsOpen() const { return open_; }
  /// Close for another program (a maker's tool) that takes the port for a
  /// while: the next Open keeps the line settings and time-outs found at the
  /// first Open instead of what the other program left, so that the final
  /// Close gives the port back as it was found.
  void HandOff();
  /// When the device went away while the port was open (an adapter pulled
  /// out), lets it go and tries to open the same port again with the
  /// parameter set in force, as a user plugs the adapter back in before the
  /// next attempt. Returns IsOpen() afterwards; a port that was never open,
  /// or was closed by Close, stays as it is.
  bool Reconnect();
  /// Handle of the open port, kInvalidHandle while closed.
  int Handle() const;
  /// Port index in use since Open, -1 while closed.
  int OpenIndex() const { return open_ ? openIndex_ : -1; }

  // --- data -------------------------------------------------------------------

  /// Clears the notification flag, then reads up to `size` bytes within the read
  /// time-out (ends at `size` bytes, 20 ms after the last byte, or after size +
  /// RXTimeOut ms). Unless KeinString is in force a zero byte is stored after
  /// the data (buffer of size+1 bytes). Returns the count (0 when nothing came)
  /// or kClosed.
  int Read(char* buffer, unsigned long size);
  /// Bytes received and not read yet (0 when closed): a Read of no more than
  /// these returns at once, without waiting out the time-out.
  int Queued();
  /// Sends `length` bytes (-1: a zero-terminated text), framed 0x13 ... 0x11
  /// with Vorlo_XonXoff in force. Synchronous: returns the bytes written
  /// (framing included), kShortWrite, or 0 when the device rejected it.
  /// Asynchronous: hands the bytes to the writer and returns their count.
  /// kWriterBusy while the writer is not parked, kShortWrite while the sticky
  /// error is set, kClosed when closed; a request longer than kBufferSize
  /// (framing included) returns 0 and sends nothing.
  int Write(const char* data, int length, bool async);
  /// Clears the sticky write error of an open port.
  void GetWriteStatus();

  // --- line settings of the open port (no effect while closed) ----------------

  void ChangeBaudrate(BaudTag baud);
  /// Baud rate, stop bits, parity and zero-byte discarding; data bits stay.
  void ChangeV24Parameter(BaudTag baud, StopBitTag stopBits, ParitaetTag parity, bool keinNull);
  /// Flow control of the open port and the handshake in force (Write framing).
  void ChangeHandShake(HandshakeTag handshake);
  /// Snapshot of the open port's current settings (default LineSettings when closed).
  LineSettings LoadV24Parameter();
  /// Applies a snapshot to the open port.
  void SaveV24Parameter(const LineSettings* settings);
  /// Stores the current settings in the last-settings slot (survives Close/Open).
  void SaveLastV24Parameter();
  /// Applies the last-settings slot if it was ever filled.
  void LoadLastV24Parameter();

  // --- parameter set ----------------------------------------------------------

  /// The live record of V24 (stream binding off): change fields in place; they
  /// take effect at the next Open.
  V24ParameterTag* GetV24Parameter();
  /// Copies the record into V24 (and into the settings file when StreamOn) and
  /// sets AutoSearch.
  void InitParameter(const V24ParameterTag* record, bool autoSearch);
  /// The parameter set's record as it stands, without touching the settings file.
  const V24ParameterTag& V24Record() const { return v24_.Record(); }
  TV24Parameter* V24() { return &v24_; }
  TDlgParameter* V24Dialog() { return &v24Dialog_; }
  void SetV24(const TV24Parameter* other);
  void SetV24Dlg(const TDlgParameter* other);

  // --- reader notification ----------------------------------------------------

  /// The reader's pause after each notification (open port only).
  void ChangeRXNotifyDelay(unsigned long ms);
  unsigned long GetRXNotificationTime() const;
  /// Clears the notification flag: the next arrival is announced again.
  void Reset_SetAktiv();

  // --- properties -------------------------------------------------------------

  bool StreamOn() const { return streamOn_; }
  void SetStreamOn(bool on) { streamOn_ = on; }
  bool AutoSearch() const { return autoSearch_; }
  void SetAutoSearch(bool on) { autoSearch_ = on; }
  const std::string& Datei() const { return datei_; }
  void SetDatei(const std::string& name) { datei_ = name; }
  /// Language of the component's own message: 0 German, other English.
  void SetLanguage(int language) { language_ = language; }
  int Language() const { return language_; }

  /// The error box of this component (unset: the process default).
  void SetErrorBox(ErrorBox box) { errorBox_ = std::move(box); }
  /// The process-wide default error box (main thread, before ports are opened).
  static void SetDefaultErrorBox(ErrorBox box);
  /// Text of the last failure or driver problem (an unsupported baud rate, the
  /// dialout hint, ...), empty when none; 8-bit Windows-1252.
  const std::string& LastError() const { return lastError_; }
  /// Why the last Open failed, without the headline: "not present", "in use
  /// by minicom (pid 1234)", ...; 8-bit Windows-1252.
  const std::string& FailureReason() const { return failureReason_; }

  /// Sees what this port sends, receives and which line settings it takes
  /// (null: nothing is traced). Set it while the port is closed; it must
  /// outlive the port's use.
  void SetTrace(PortTrace* trace) { trace_ = trace; }

  /// The settings dialog: rescans, prepares the model from the
  /// parameter set (stream binding from StreamOn/Datei) and the V24Dialog flags,
  /// runs it; on OK stores the record and, if open, reopens on the new port.
  /// Returns true for OK.
  bool OpenDialog(const DialogRunner& run);

  /// The open device (null while closed), for tests (ReportLineErrors) and diagnostics.
  platform::SerialPort* DriverPort() { return port_.get(); }

 private:
  bool TryOpen(int index, platform::PortAccess& access);
  void Configure(const V24ParameterTag& record);
  void ApplySettings(const LineSettings& settings);
  void ReportOpenFailure(int index, platform::PortAccess access, bool show);

  platform::SerialDriver& driver_;
  TV24Parameter v24_;
  TDlgParameter v24Dialog_;
  std::unique_ptr<platform::SerialPort> port_;
  bool open_ = false;
  bool lost_ = false;  // the device went away; Reconnect opens it again
  bool handedOff_ = false;  // the next Open keeps savedSettings_ and savedTimeouts_
  LineSettings inForce_;  // the settings last applied
  bool streamOn_ = false;
  bool autoSearch_ = false;
  bool keinString_ = false;
  HandshakeTag handshake_ = NoHandshake;
  std::string datei_ = "ComData.cfg";
  int devices_[kPortCount + 1] = {};
  int deviceCount_ = 0;
  int useable_[kPortCount + 1] = {};
  int useableCount_ = 0;
  LineSettings savedSettings_;
  bool savedSettingsValid_ = false;
  LineSettings lastSettings_;
  bool lastSettingsFilled_ = false;
  platform::SerialTimeouts savedTimeouts_;
  int language_ = 0;
  platform::MessageLoop* owner_ = nullptr;
  int openIndex_ = -1;
  std::uint32_t rxDelay_ = 0;
  ErrorBox errorBox_;
  std::string lastError_;
  std::string failureReason_;
  PortTrace* trace_ = nullptr;
  std::unique_ptr<TV24Read_Thread> reader_;
  std::unique_ptr<TV24Write_Thread> writer_;
  std::unique_ptr<char[]> staging_;  // 32768-byte staging area of Write
};

}  // namespace serial
