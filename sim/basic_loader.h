#pragma once
// The Basic-Loader of the instrument's terminal: it announces itself with
// text lines, erases the terminal's flash, asks for S-records and programs
// them as they arrive, checking every record strictly. A defective record is
// answered "S-Record defect!" ("Record defekt!" by loader 1.01) and ends the
// download; the end record is answered with the "programmed" line.
//
// The line is 19200 bit/s with RTS/CTS flow control: the loader holds CTS low
// while it writes flash, so a sender that ignores CTS overruns it. A pty has
// no CTS line; the loader looks at the flag the other side has set on the
// port instead, and a record any of whose bytes arrived without it is lost
// to an overrun (answered as defective).
#include <cstdint>
#include <string>
#include <string_view>

#include "core/fixed_text.h"
#include "sim/instrument_config.h"
#include "sim/protocol.h"
#include "sim/srecord.h"
#include "sim/terminal_config.h"
#include "sim/terminal_flash.h"

namespace sim {

class BasicLoader final : public Protocol {
 public:
  /// All references must outlive the object.
  BasicLoader(Host& host, const InstrumentConfig& config, TerminalFlash& flash);

  /// The loader starts once it has the line: it erases the flash and queues
  /// its announcement at its own line settings.
  void Start();

  LineSettings Line() const override;
  void Receive(std::uint8_t byte) override;
  void LineSeen(const LineSettings& seen) override { flowControl_ = seen.rtsCts; }
  bool FlowControlled() const override { return true; }

 private:
  struct Texts;
  enum class Stage : std::uint8_t { kReceiving, kStopped, kDone };

  // Longest record line: "S", type, then count, address, data and checksum
  // as at most 256 hex pairs.
  static constexpr std::size_t kMaxLine = 2 + 2 * 256;

  const Texts& Says() const;
  void EndOfLine();
  bool Take(const SRecord& record);
  bool IsForThisTerminal(const std::vector<std::uint8_t>& header) const;
  bool Program(const SRecord& record);
  void Finish();
  void Defect();
  void Abort();
  void Settle();
  void SendLine(std::string_view text, SimTick delayMs = 0);

  Host& host_;
  const InstrumentConfig& config_;
  TerminalFlash& flash_;
  Stage stage_ = Stage::kReceiving;
  core::FixedText<kMaxLine + 1> line_;  // the record being received
  bool overrun_ = false;       // a byte of this record arrived without flow control
  bool flowControl_ = false;   // the other side has RTS/CTS on
  bool headerSeen_ = false;
  std::uint32_t dataRecords_ = 0;
  int highestBank_ = 0;
};

}  // namespace sim
