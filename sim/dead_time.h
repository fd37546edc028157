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

class DeadTime {
 public:
  using RealTime = std::chrono::steady_clock::time_point;

  /// Everything the instrument had to send has left the line at `end`.
  void ReplyEnded(RealTime end) { replyEnd_ = end; }
  /// Bytes from the updater arrived at `at`; the first ones after a reply
  /// end a sample (negative when they came before the reply had left).
  void BytesArrived(RealTime at);

  /// Median of the samples (real time); nullopt before the first.
  std::optional<std::chrono::nanoseconds> Median() const;
  std::size_t Samples() const { return samples_.size(); }

 private:
  std::optional<RealTime> replyEnd_;
  std::vector<std::chrono::nanoseconds> samples_;
};

}  // namespace sim
