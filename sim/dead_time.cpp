#include "sim/dead_time.h"

#include <algorithm>

namespace sim {

void DeadTime::BytesArrived(RealTime at) {
  if (!replyEnd_) return;
  samples_.push_back(at - *replyEnd_);
  replyEnd_.reset();
}

std::optional<std::chrono::nanoseconds> DeadTime::Median() const {
  if (samples_.empty()) return std::nullopt;
  std::vector<std::chrono::nanoseconds> sorted = samples_;
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return *middle;
}

}  // namespace sim
