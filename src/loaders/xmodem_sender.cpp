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
      silences_ = 0;
      return OnAck();
    case kNak:
      silences_ = 0;
      return Refused();
    case kCrcRequest:
      return AskedAgain();
    default:
      return Step::Nothing;
  }
}

XmodemSender::Step XmodemSender::OnSilence() {
  switch (phase_) {
    case Phase::Waiting:
      // The receiver never asked for the first block: it is not receiving.
      phase_ = Phase::Finished;
      return Step::GiveUp;
    case Phase::Finished:
      return Step::Nothing;
    default:
      if (++silences_ > kMaxSilentResends) {
        phase_ = Phase::Finished;
        return Step::GiveUp;
      }
      return phase_ == Phase::Eot ? Step::SendEot : Step::SendBlock;
  }
}

// The receiver repeats "C" every few seconds until block 1 has arrived, so
// one "C" can cross block 1 on the line, and its ACK follows. Sending block 1
// again for it would be acknowledged a second time and put the sender one
// block ahead of the receiver. Only a second "C" says that block 1 was lost.
XmodemSender::Step XmodemSender::AskedAgain() {
  if (phase_ != Phase::Blocks || current_ != 1) return Step::Nothing;
  if (++requests_ < kRequestsForBlock1) return Step::Nothing;
  requests_ = 0;
  return Refused();
}

XmodemSender::Step XmodemSender::OnAck() {
  refusals_ = 0;
  requests_ = 0;
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
