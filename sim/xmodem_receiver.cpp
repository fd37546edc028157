#include "sim/xmodem_receiver.h"

#include "sim/xmodem_crc.h"

namespace sim {

XmodemReceiver::Event XmodemReceiver::Feed(std::uint8_t byte) {
  if (count_ == 0) {
    if (byte == kEot) {
      purging_ = false;
      return Event::kEnd;
    }
    if (byte != kSoh) {
      // One refusal for a run of noise; the sender repeats its block after the NAK.
      const bool first = !purging_;
      purging_ = true;
      return first ? Event::kBad : Event::kNone;
    }
    purging_ = false;
  }
  frame_[count_++] = byte;
  if (count_ < kFrameSize) return Event::kNone;
  count_ = 0;
  return JudgeFrame();
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
