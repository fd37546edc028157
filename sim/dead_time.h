#pragma once
// The line's idle time between exchanges: from the moment the instrument's
// reply has left the line (its last byte carried, when paced) until the
// first byte of the updater's next frame arrives. What the updater adds per
// frame on top of the line and the instrument shows in the median.
#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace sim {

/// The gaps that lie wholly in [from, to] (the whole run by default).
struct DeadTimeWindow {
  std::chrono::steady_clock::time_point from = std::chrono::steady_clock::time_point::min();
  std::chrono::steady_clock::time_point to = std::chrono::steady_clock::time_point::max();
};

class DeadTime {
 public:
  using RealTime = std::chrono::steady_clock::time_point;
  using Window = DeadTimeWindow;

  /// Everything the instrument had to send has left the line at `end`.
  void ReplyEnded(RealTime end) { replyEnd_ = end; }
  /// Bytes from the updater arrived at `at`; the first ones after a reply
  /// end a sample (negative when they came before the reply had left).
  void BytesArrived(RealTime at);

  /// Median of the samples (real time); nullopt when there are none.
  std::optional<std::chrono::nanoseconds> Median(Window window = {}) const;

  /// The samples of at least `floor` and their sum (a loader's deliberate
  /// waits stand out from its reaction time this way).
  struct Share {
    std::size_t count = 0;
    std::chrono::nanoseconds total{0};
  };
  Share AtLeast(std::chrono::nanoseconds floor, Window window = {}) const;

 private:
  struct Sample {
    RealTime at;
    std::chrono::nanoseconds gap;
  };
  std::vector<std::chrono::nanoseconds> Gaps(Window window) const;

  std::optional<RealTime> replyEnd_;
  std::vector<Sample> samples_;
};

}  // namespace sim
