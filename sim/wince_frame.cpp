#include "sim/wince_frame.h"

#include "sim/wince_check.h"

namespace sim {

void WinceFrameReader::Start() {
  state_ = State::kDot;
  length_ = 0;
  digits_ = 0;
  leadingZero_ = false;
  data_.clear();
  broken_ = {};
}

WinceFrameReader::Step WinceFrameReader::Feed(std::uint8_t byte) {
  switch (state_) {
    case State::kIdle:
      return Broken("no frame begun");
    case State::kDot:
      if (byte != '.') return Broken("\"D\" not followed by \".\"");
      state_ = State::kLength;
      return Step::kMore;
    case State::kLength:
      return TakeLengthDigit(byte);
    case State::kCheck:
      check_ = byte;
      state_ = State::kHash;
      return Step::kMore;
    case State::kHash:
      if (byte != '#') return Broken("no \"#\" after the check character");
      state_ = State::kData;
      return length_ == 0 ? Finish() : Step::kMore;
    case State::kData:
      data_.push_back(byte);
      return data_.size() == length_ ? Finish() : Step::kMore;
  }
  return Broken("no frame begun");
}

WinceFrameReader::Step WinceFrameReader::TakeLengthDigit(std::uint8_t byte) {
  if (byte == ',') {
    if (digits_ == 0) return Broken("no length");
    state_ = State::kCheck;
    return Step::kMore;
  }
  if (byte < '0' || byte > '9') return Broken("length is not a decimal number");
  if (digits_ == kMaxDigits) return Broken("length has too many digits");
  if (digits_ == 0 && byte == '0') leadingZero_ = true;
  length_ = length_ * 10 + (byte - '0');
  ++digits_;
  return Step::kMore;
}

WinceFrameReader::Step WinceFrameReader::Finish() {
  state_ = State::kIdle;
  return Step::kComplete;
}

WinceFrameReader::Step WinceFrameReader::Broken(std::string_view problem) {
  state_ = State::kIdle;
  broken_ = problem;
  return Step::kBroken;
}

std::string_view WinceFrameReader::Problem() const {
  if (!broken_.empty()) return broken_;
  if (length_ == 0 || length_ > kMaxData) return "length outside 1 to 2000";
  if (leadingZero_) return "length with a leading zero";
  if (WinceCheckCharacter(data_) != check_) return "check character does not fit the data";
  return {};
}

void WinceFrameReader::Disturb() {
  if (!data_.empty()) data_.front() ^= 0x01;
}

}  // namespace sim
