#pragma once
// The simulated instrument on the master side of a pseudo-terminal, served
// on its own thread until Stop(); afterwards its memory and state may be read.
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sim/faults.h"
#include "sim/instrument.h"
#include "sim/presets.h"
#include "sim/server.h"

namespace loaders::test {

class SimRig {
 public:
  SimRig(const sim::InstrumentConfig& config, const std::vector<std::string>& faults, bool pace = false) {
    sim::FaultPlan plan;
    for (const std::string& f : faults) {
      if (auto recipe = sim::ParseFault(f)) plan.Add(*recipe);
      else error_ = "bad fault " + f;
    }
    if (error_.empty()) error_ = pty_.Open();
    if (!error_.empty()) return;
    if (::pipe(stop_) != 0) {
      error_ = "pipe";
      return;
    }
    instrument_ = std::make_unique<sim::Instrument>(config, std::move(plan), platform::SystemClock());
    server_ = std::make_unique<sim::Server>(
        pty_, *instrument_, platform::SystemClock(),
        sim::ServerOptions{pace, platform::TimeScale(), nullptr, stop_[0], -1});
    thread_ = std::thread([this] { server_->Run(); });
  }
  ~SimRig() {
    Stop();
    if (stop_[0] >= 0) ::close(stop_[0]);
    if (stop_[1] >= 0) ::close(stop_[1]);
  }
  SimRig(const SimRig&) = delete;
  SimRig& operator=(const SimRig&) = delete;

  const std::string& Error() const { return error_; }
  const std::string& SlavePath() const { return pty_.SlavePath(); }

  void Stop() {
    if (!thread_.joinable()) return;
    const char byte = 1;
    if (::write(stop_[1], &byte, 1) != 1) return;
    thread_.join();
  }
  /// CPU time the simulator's thread has used so far, in seconds.
  double CpuSeconds() {
    clockid_t id;
    timespec t{};
    if (!thread_.joinable() || pthread_getcpuclockid(thread_.native_handle(), &id) != 0) return 0;
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
  }
  /// Only after Stop().
  const sim::Instrument& Instrument() const { return *instrument_; }
  /// Only after Stop(): the line's idle time from each reply to the next frame.
  const sim::DeadTime& DeadTimes() const { return server_->DeadTimes(); }

 private:
  std::string error_;
  sim::PtyTransport pty_;
  int stop_[2] = {-1, -1};
  std::unique_ptr<sim::Instrument> instrument_;
  std::unique_ptr<sim::Server> server_;
  std::thread thread_;
};

}  // namespace loaders::test
