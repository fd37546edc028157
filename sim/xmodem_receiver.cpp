#include "sim/xmodem_receiver.h"

#include "sim/xmodem_crc.h"

namespace sim {

using platform::Tick;
using platform::TickReached;

XmodemReceiver::Event XmodemReceiver::Feed(std::uint8_t byte, Tick now) {
  lastByte_ = now;
  if (purging_) return Event::kNone;
  if (count_ == 0) {
    if (byte == kEot) return Event::kEnd;
    if (byte != kSoh) {
      purging_ = true;  // refused once the noise is over (Poll)
      return Event::kNone;
    }
  }
  frame_[count_++] = byte;
  if (count_ < kFrameSize) return Event::kNone;
  count_ = 0;
  return JudgeFrame();
}

XmodemReceiver::Event XmodemReceiver::Poll(Tick now) {
  if (Interrupted()) {
    if (!TickReached(now, lastByte_ + kQuietMs)) return Event::kNone;
    purging_ = false;
    count_ = 0;
    lastAsk_ = now;
    return Event::kBad;
  }
  if (accepted_ > 0) return Event::kNone;
  if (TickReached(now, begun_ + kGiveUpMs)) return Event::kGiveUp;
  if (!TickReached(now, NextAsk())) return Event::kNone;
  lastAsk_ = now;
  return Event::kAskAgain;
}

std::optional<Tick> XmodemReceiver::Deadline() const {
  if (Interrupted()) return lastByte_ + kQuietMs;
  if (accepted_ > 0) return std::nullopt;
  const Tick giveUp = begun_ + kGiveUpMs;
  const Tick ask = NextAsk();
  return TickReached(ask, giveUp) ? giveUp : ask;
}

// "C" again after kAskEveryMs in which neither "C" went out nor a byte came.
Tick XmodemReceiver::NextAsk() const {
  const Tick last = TickReached(lastByte_, lastAsk_) ? lastByte_ : lastAsk_;
  return last + kAskEveryMs;
}

XmodemReceiver::Event XmodemReceiver::JudgeFrame() const {
  const std::uint8_t number = frame_[1];
  if (static_cast<std::uint8_t>(number + frame_[2]) != 0xFF) return Event::kBad;
  const std::uint16_t crc =
      static_cast<std::uint16_t>(frame_[kFrameSize - 2] << 8 | frame_[kFrameSize - 1]);
  if (Crc16Xmodem(Data()) != crc) return Event::kBad;
  if (number == expected_) return Event::kBlock;
  if (accepted_ > 0 && number == static_cast<std::uint8_t>(expected_ - 1)) return Event::kDuplicate;
  return Event::kBad;
}

void XmodemReceiver::Accept() {
  ++expected_;
  ++accepted_;
}

}  // namespace sim
