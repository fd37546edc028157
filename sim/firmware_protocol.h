#pragma once
// The running firmware's text command protocol.
//
// Commands are lines "A.<number>[#<parameter>]" ended by CR LF (a bare LF is
// taken too; empty lines are ignored); "A.12010#" is followed by a length byte
// and that many raw bytes instead. Answers are lines: "!" acknowledges,
// "?" refuses, numbered replies are "<prefix><number>#<text>". The command
// table is in the .cpp file, one row per command number.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_text.h"
#include "sim/flash_model.h"
#include "sim/instrument_config.h"
#include "sim/protocol.h"

namespace sim {

class FirmwareProtocol final : public Protocol {
 public:
  /// All references must outlive the object; `sensor` may be null.
  FirmwareProtocol(Host& host, const InstrumentConfig& config, const FlashModel& main, const FlashModel* sensor);

  LineSettings Line() const override { return config_.firmware.line; }
  void Receive(std::uint8_t byte) override;

 private:
  struct Command;
  static const Command* FindCommand(char letter, int number);

  void ReceiveLabBlockByte(std::uint8_t byte);
  void HandleLine(std::string_view line);
  void Execute(const Command& command, std::string_view parameter);

  void Reply(std::string_view line);
  void Acknowledge() { Reply("!"); }
  void Refuse() { Reply("?"); }
  void Numbered(int number, std::string_view text);
  std::string Value(std::string_view value) const;

  void Ack(std::string_view);
  void EntryCommand(std::string_view);
  void Silent(std::string_view);
  void PcbNumber(std::string_view);
  void DeviceNumber(std::string_view);
  void SoftwareVersion(std::string_view);
  void SerialNumber(std::string_view);
  void StartupVersion(std::string_view);
  void Clock(std::string_view parameter);
  void AirPressure(std::string_view parameter);
  void SecondComponent(std::string_view);
  void EnterTerminal(std::string_view);
  void QueryMain(std::string_view);
  void QuerySensor(std::string_view);
  void EnterMain(std::string_view parameter);
  void EnterSensor(std::string_view parameter);
  void LabAnnounce(std::string_view parameter);
  void LabBlock(std::string_view);
  void LabEnd(std::string_view);
  LabFile* OpenLabFile();

  // firmware_emf_entry.cpp
  void EnterEmfMain(std::string_view parameter);
  void EnterEmfSensor(std::string_view parameter);
  void EnterEmfFallback(std::string_view parameter);
  void EnterEmf(int component, std::string_view parameter);

  void AnswerQuery(const FlashModel& memory, int replyNumber, std::string_view echo);
  void Enter(int component, std::string_view parameter, std::string_view echo);

  Host& host_;
  const InstrumentConfig& config_;
  const FlashModel& main_;
  const FlashModel* sensor_;
  core::FixedText<301> line_;  // the line being received; longer lines are refused
  std::string echo_;       // the command as received, for reply lines that repeat it
  int labBlockLeft_ = -1;  // bytes still to come of an "A.12010#" block; -1 none
  bool labBlockLength_ = false;
  std::vector<std::uint8_t> labBlock_;  // the block being received
};

}  // namespace sim
