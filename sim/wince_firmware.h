#pragma once
// The running firmware of a WinCE instrument: the common text commands (passed
// to FirmwareProtocol) plus the file copy with which its application and
// further files are replaced:
//
//   A.1300#<rate>        switch the line to that rate (after the acknowledgement,
//                        or acknowledged at the new rate, see WinceConfig)
//   A.1201#NAME,DATE,SIZE / A.1205#NAME,DATE,SIZE
//                        file header (1205: copy whatever the instrument holds)
//   D.<n>,<check>#<data> data frame, no line end (wince_frame.h)
//   A.1202 / A.1203      end of file / end of transfer
//   A.2100               version of the start-up program (reply 2011)
//
// Every step is answered with "!"; a frame that is not sound with reply 261
// and the text "2" (send it again); a file that cannot be completed with reply
// 261 and another text. Text commands out of turn get "?". When a transfer
// ends, the instrument runs what it received: the first program file of the
// transfer is its application, "TARVOSTARTUP.EXE" its start-up program, and
// their versions are what it reports from then on (power cycles included).
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/firmware_protocol.h"
#include "sim/wince_config.h"
#include "sim/wince_frame.h"
#include "sim/wince_receiver.h"

namespace sim {

class WinceFirmware final : public Protocol {
 public:
  /// All references must outlive the object; `config.wince` must be set.
  WinceFirmware(Host& host, const InstrumentConfig& config, const FlashModel& main,
                const FlashModel* sensor);

  LineSettings Line() const override { return line_; }
  void Receive(std::uint8_t byte) override;

 private:
  struct Command;

  void ReceiveFrameByte(std::uint8_t byte);
  void ReceiveTextByte(std::uint8_t byte);
  void StartStrayBytes();
  void HandleLine();
  const Command* FindCommand(std::string_view line, std::string_view& parameter) const;
  void RunCommand(const Command& command, std::string_view line, std::string_view parameter);
  void TakeFrame();

  void SwitchRate(std::string_view parameter);
  void StartupVersion();
  void EndOfTransfer();
  void Install(std::span<const WinceFile> files);
  void Answer(WinceAnswer answer);
  void Reply(std::string_view line);
  void AskAgain();

  Host& host_;
  const InstrumentConfig& config_;
  const WinceConfig& wince_;
  FirmwareProtocol firmware_;
  WinceReceiver receiver_;
  WinceFrameReader frame_;
  LineSettings line_;
  std::string text_;          // the text line being received, with its line end
  bool messageStart_ = true;  // the next byte begins a command line or a frame
  bool skipping_ = false;     // bytes are dropped until a frame or a command begins
};

}  // namespace sim
