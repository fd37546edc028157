#include "loaders/xmodem_sender.h"

namespace loaders::xmodem {

XmodemSender::Step XmodemSender::OnAnswer(std::uint8_t byte) {
  if (phase_ == Phase::Waiting) {
    if (byte != kCrcRequest && byte != kNak) return Step::Nothing;
    phase_ = Phase::Blocks;
    return Step::SendBlock;
  }
  switch (byte) {
    case kAck:
      return OnAck();
    case kNak:
      return Refused();
    case kCrcRequest:
      // Only a receiver still waiting for the first block asks with "C".
      return phase_ == Phase::Blocks && current_ == 1 ? Refused() : Step::Nothing;
    default:
      return Step::Nothing;
  }
}

XmodemSender::Step XmodemSender::OnAck() {
  refusals_ = 0;
  switch (phase_) {
    case Phase::Blocks:
      if (current_ >= image_.blockCount) {
        phase_ = Phase::Eot;
        return Step::SendEot;
      }
      block_ = BuildBlock(image_, ++current_);
      return Step::SendNextBlock;
    case Phase::Eot:
      phase_ = Phase::Finished;
      return Step::Done;
    default:
      return Step::Nothing;
  }
}

XmodemSender::Step XmodemSender::Refused() {
  if (phase_ == Phase::Finished) return Step::Nothing;
  if (++refusals_ >= kMaxRefusals) {
    phase_ = Phase::Finished;
    return Step::GiveUp;
  }
  return phase_ == Phase::Eot ? Step::SendEot : Step::SendBlock;
}

}  // namespace loaders::xmodem
