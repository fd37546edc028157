#pragma once
// Reads one WinCE data frame the way the instrument takes it off the line:
//
//   "D." <length: decimal, 1 to 2000> "," <check character> "#" <length data bytes>
//
// with no line end. The reader is fed byte by byte after the "D" that began
// the frame. Its extent is what the length field says, so a frame whose length
// or check character is wrong is still read to its end before it is refused;
// a frame whose structure is broken before its data ends at once (where the
// rest of it lies is unknown).
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sim {

class WinceFrameReader {
 public:
  static constexpr std::uint32_t kMaxData = 2000;

  enum class Step : std::uint8_t {
    kMore,      ///< the frame goes on
    kComplete,  ///< all its data has arrived; Problem() tells whether it is sound
    kBroken,    ///< its structure is broken; Problem() says how
  };

  /// Begins a frame: its "D" has been received.
  void Start();
  /// True between Start() and the frame's end.
  bool Active() const { return state_ != State::kIdle; }
  Step Feed(std::uint8_t byte);

  /// The frame's data bytes (valid after kComplete).
  std::span<const std::uint8_t> Data() const { return data_; }
  /// Empty for a sound frame, else what is wrong with it: its structure, its
  /// length field, or a check character that does not fit its data.
  std::string_view Problem() const;
  /// Flips a bit of the first data byte, as a disturbed line would.
  void Disturb();

 private:
  enum class State : std::uint8_t { kIdle, kDot, kLength, kCheck, kHash, kData };
  static constexpr std::size_t kMaxDigits = 4;

  Step Broken(std::string_view problem);
  Step Finish();
  Step TakeLengthDigit(std::uint8_t byte);

  State state_ = State::kIdle;
  std::uint32_t length_ = 0;
  std::size_t digits_ = 0;
  bool leadingZero_ = false;
  std::uint8_t check_ = 0;
  std::vector<std::uint8_t> data_;
  std::string_view broken_;  // why the structure broke; empty when it did not
};

}  // namespace sim
