#pragma once
// XmodemSender: the sending side of an XMODEM-CRC transfer of a padded image,
// as a state machine over the receiver's answers. It decides what goes on the
// line next; the caller writes it.
//
// The receiver starts the transfer with "C". Each ACK moves to the next block,
// after the last block to the end of transmission (EOT), and the ACK of the
// EOT ends the transfer. A NAK asks for the same block (or the EOT) again. Once
// block 1 went out, a "C" is the receiver's repeated request crossing it on the
// line: only a second one, before block 1 is acknowledged, asks for block 1
// again. A block that is refused kMaxRefusals times in a row ends the transfer:
// a receiver that never accepts it would otherwise keep the line busy for ever.
// When the receiver stays silent, the block (or the EOT) goes out once more
// (its ACK may have been lost: the receiver drops a repeated block and
// acknowledges it); silence again ends the transfer.
//
// Pure; any thread. The image must outlive the sender.
#include <cstdint>

#include "loaders/xmodem_image.h"

namespace loaders::xmodem {

class XmodemSender {
 public:
  static constexpr int kMaxRefusals = 10;
  /// Times the current block goes out again when the receiver stays silent.
  static constexpr int kMaxSilentResends = 1;
  /// "C"s after block 1 went out that ask for it again.
  static constexpr int kRequestsForBlock1 = 2;

  enum class Step {
    Nothing,        ///< the answer asks for nothing
    SendBlock,      ///< (again) the current block
    SendNextBlock,  ///< the next block, now current
    SendEot,        ///< (again) the end of transmission
    Done,           ///< the receiver has acknowledged the end of transmission
    GiveUp,         ///< refused kMaxRefusals times in a row, or silent
  };

  explicit XmodemSender(const PaddedImage& image) : image_(image), block_(BuildBlock(image, 1)) {}

  /// What to send for the receiver's answer `byte`.
  Step OnAnswer(std::uint8_t byte);
  /// What to send when the receiver has not answered for its time-out.
  Step OnSilence();

  const BlockFrame& Block() const { return block_; }
  /// Blocks prepared so far (the number of the current block).
  std::int32_t BlocksSent() const { return current_; }

 private:
  enum class Phase { Waiting, Blocks, Eot, Finished };

  Step OnAck();
  Step Refused();
  Step AskedAgain();

  const PaddedImage& image_;
  BlockFrame block_;
  std::int32_t current_ = 1;
  int refusals_ = 0;
  int silences_ = 0;  ///< time-outs in a row without an answer
  int requests_ = 0;  ///< "C"s since block 1 went out
  Phase phase_ = Phase::Waiting;
};

}  // namespace loaders::xmodem
