#pragma once
// EmfSession: the EMF boot loader's conversation on top of the generic
// LoaderSession: which events of the run belong to it (the firmware's "!" and
// "A."/"C." lines, the boot loader's replies 251 and 1205, and the raw bytes
// of the XMODEM transfer), its commands (text lines, and one-letter commands
// followed by the confirmation line when the boot loader wants it), the
// switch of the line to the boot loader's rate, the run with its watchdog,
// and the failure report.
//
// The loader object owns its session. Main thread only.
#include <functional>

#include "loaders/loader_session.h"

namespace loaders {

/// What the loader does with the events of its run.
struct EmfSteps {
  std::function<void()> acknowledged;             ///< a reply line with "!"
  std::function<void()> replyLine;                ///< a reply line with "A." or "C."
  std::function<void(const char* text)> version;  ///< reply 251: the boot loader's version
  std::function<void(const char* text)>
      crcReport;                       ///< reply 1205: the CRC the boot loader computed
  std::function<void()> transferData;  ///< serial data during the XMODEM transfer
  std::function<void()> silence;       ///< the watchdog expired
};

class EmfSession final : public LoaderSession, private SessionEvents {
 public:
  /// No data for this long ends the run in any phase.
  static constexpr std::int32_t kWatchdogMs = 10000;

  explicit EmfSession(const LoaderContext& context) : LoaderSession(context, *this) {}

  /// Set by the loader before its run.
  EmfSteps steps;
  /// The bytes that arrive are the transfer's, not reply lines.
  bool xmodemMode = false;
  /// The boot loader wants the confirmation line after each one-letter command.
  bool confirmation = false;

  /// Writes a text command without logging it; false when the line took nothing.
  bool Write(const char* text);
  /// Writes a one-letter command, and the confirmation line when it is wanted.
  bool Command(char letter);
  /// Puts the boot loader's line on the port: `rate`, 8 data bits, no
  /// parity, 2 stop bits, no flow control.
  void SwitchLine(serial::BaudTag rate);

  /// The run after the image was read: the watchdog of kWatchdogMs, then the
  /// line restored (or left at 9600 8N2 after a success with StartCmdIndex 2).
  /// True when the run did not fail.
  bool Conduct(const std::function<void()>& opening);
  /// Shows the message of a failed run.
  void ReportFailure() const;

 private:
  void OnWatchdog() override { steps.silence(); }
  bool OnMessage(const core::TEventRecord& event) override;
  bool OnCommand(const core::TEventRecord& event) override;
};

}  // namespace loaders
