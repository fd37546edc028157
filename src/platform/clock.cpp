#include "platform/clock.h"

#include <cstdlib>
#include <thread>

namespace platform {

double ParseTimeScale(const char* text) {
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 1.0) || value > 1e6) return 1.0;
  return value;
}

double TimeScale() {
  static const double scale = ParseTimeScale(std::getenv("UPDATER_TIME_SCALE"));
  return scale;
}

namespace {

class SteadyClock final : public Clock {
 public:
  explicit SteadyClock(double scale) : scale_(scale), origin_(std::chrono::steady_clock::now()) {}

  Tick Now() const override {
    const auto real = std::chrono::steady_clock::now() - origin_;
    const double ms = std::chrono::duration<double, std::milli>(real).count() * scale_;
    return static_cast<Tick>(static_cast<std::uint64_t>(ms));
  }

  void Sleep(Tick ms) const override { std::this_thread::sleep_for(RealDuration(ms)); }

  std::chrono::nanoseconds RealDuration(Tick ms) const override {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1.0e6 / scale_));
  }

 private:
  double scale_;
  std::chrono::steady_clock::time_point origin_;
};

}  // namespace

std::unique_ptr<Clock> MakeSteadyClock(double scale) {
  return std::make_unique<SteadyClock>(scale >= 1.0 ? scale : 1.0);
}

const Clock& SystemClock() {
  static const SteadyClock clock(TimeScale());
  return clock;
}

}  // namespace platform
