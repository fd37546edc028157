#pragma once
// Fault injection: what the simulated instrument does wrong, and when.
//
// A fault is written KIND:TARGET[@N][+]:
//   KIND    nak | noack | badsum | corrupt | garbage | silence | refuse | abort
//           | unplug | power
//   TARGET  a boot-loader command (sync, password, version, baud, erase,
//           mass-erase, offset, rx, tx, loadpc), a WinCE data frame (frame)
//           or a text command number (2001, or written as A.2001)
//   @N      the N-th occurrence of the target (1-based; default 1)
//   +       that occurrence and every later one (default: only that one)
// Occurrences are counted per target over the whole life of the instrument.
// Not thread-safe (one instrument, one thread).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

enum class FaultKind : std::uint8_t {
  kNone,
  kNak,      ///< answer with the negative acknowledgement; the command is not carried out
  kNoAck,    ///< carry the command out but lose the acknowledgement
  kBadSum,   ///< reply frame with a corrupted checksum
  kCorrupt,  ///< one byte of the read-back data flipped (the checksum fits the flipped data)
  kGarbage,  ///< answer with line noise instead of the reply
  kSilence,  ///< from here on nothing is answered any more (cable unplugged)
  kRefuse,   ///< a text command answered with a "?" line
  kAbort,    ///< the instrument gives up with reply 2 (Basic-Loader)
  kUnplug,   ///< the port itself goes away (a USB adapter pulled): silence, and the line is closed
  kPowerLost,  ///< the power fails before the command is carried out; the instrument starts again when it returns
};

struct FaultSpec {
  FaultKind kind = FaultKind::kNone;
  std::string target;
  std::uint32_t occurrence = 1;
  bool repeat = false;
};

/// Parses one fault text; nullopt when it does not follow the grammar.
std::optional<FaultSpec> ParseFault(std::string_view text);

class FaultPlan {
 public:
  void Add(const FaultSpec& recipe) { specs_.push_back(recipe); }

  /// Counts one occurrence of `target` and returns the fault planned for it
  /// (kNone when none). Once a silence fault has fired, every later call
  /// returns kSilence. An unplug fault is returned as kSilence to the
  /// handler; the line's owner learns of it through TakeUnplug().
  FaultKind Next(std::string_view target);

  bool Silenced() const { return silenced_; }
  /// How many times a planned fault has fired (the silence that follows one not counted).
  std::uint32_t Fired() const { return fired_; }
  /// True once after an unplug fault has fired.
  bool TakeUnplug() { return std::exchange(unplugged_, false); }
  /// True once after a power-loss fault has fired (returned as kSilence to
  /// the handler, which then does nothing; the instrument's owner switches
  /// it off and on).
  bool TakePowerLoss() { return std::exchange(powerLost_, false); }
  /// The faults are over: no rule fires any more and the silence ends.
  void Clear();

 private:
  std::vector<FaultSpec> specs_;
  std::map<std::string, std::uint32_t, std::less<>> counts_;
  bool silenced_ = false;
  bool unplugged_ = false;
  bool powerLost_ = false;
  std::uint32_t fired_ = 0;
};

/// Line noise as a wrong baud rate produces it: `count` bytes that never form
/// a reply mark, an acknowledgement or a frame header.
std::vector<std::uint8_t> GarbageBytes(std::size_t count);

}  // namespace sim
