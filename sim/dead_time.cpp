#include "sim/dead_time.h"

#include <algorithm>

namespace sim {

void DeadTime::BytesArrived(RealTime at) {
  if (!replyEnd_) return;
  samples_.push_back({at, at - *replyEnd_});
  replyEnd_.reset();
}

std::vector<std::chrono::nanoseconds> DeadTime::Gaps(Window window) const {
  std::vector<std::chrono::nanoseconds> gaps;
  for (const Sample& sample : samples_) {
    if (sample.at - sample.gap >= window.from && sample.at <= window.to) gaps.push_back(sample.gap);
  }
  return gaps;
}

std::optional<std::chrono::nanoseconds> DeadTime::Median(Window window) const {
  std::vector<std::chrono::nanoseconds> gaps = Gaps(window);
  if (gaps.empty()) return std::nullopt;
  const auto middle = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
  std::nth_element(gaps.begin(), middle, gaps.end());
  return *middle;
}

DeadTime::Share DeadTime::AtLeast(std::chrono::nanoseconds floor, Window window) const {
  Share share;
  for (const std::chrono::nanoseconds gap : Gaps(window)) {
    if (gap < floor) continue;
    ++share.count;
    share.total += gap;
  }
  return share;
}

}  // namespace sim
