#include "sim/server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <span>

namespace sim {
namespace {

constexpr std::size_t kReadChunk = 4096;
// Bytes read at a time while a flow-controlled protocol is paced; the next
// read waits until the line could have carried them (a late wake-up is made
// up by the next one). The pty's buffer holds the rest back, as CTS would
// hold the sender.
constexpr std::size_t kPacedReadChunk = 64;
constexpr auto kIdleWait = std::chrono::seconds(1);
constexpr std::size_t kMaxActionLength = 64;  // longer lines are cut (and then not understood)

}  // namespace

Server::Server(PtyTransport& pty, Instrument& instrument, const platform::Clock& clock, ServerOptions options)
    : pty_(pty), instrument_(instrument), clock_(clock), options_(options) {}

int Server::Run() {
  UpdateDump(true);
  while (!stop_) {
    if (!WaitForWork()) return 1;
    if (!ReadLine()) return 1;
    instrument_.Poll();
    if (!WriteDue()) return 1;
    UpdateDump(false);
  }
  UpdateDump(true);
  return 0;
}

bool Server::ReadLine() {
  std::array<std::uint8_t, kReadChunk> buffer;
  for (std::size_t room = ReadRoom(); room > 0; room = ReadRoom()) {
    const long n = pty_.Read(std::span(buffer).first(room));
    if (n < 0) return false;
    if (n == 0) return true;
    if (PacedReading()) {
      // The next read waits until the line could have carried these bytes.
      const auto charTime = ReadCharTime();
      const RealTime earliest = std::chrono::steady_clock::now() - charTime * static_cast<long>(kPacedReadChunk);
      nextRead_ = std::max(nextRead_, earliest) + charTime * n;
    }
    instrument_.Receive(std::span(buffer).first(static_cast<std::size_t>(n)), pty_.Seen());
  }
  return true;
}

bool Server::PacedReading() const { return options_.pace && instrument_.FlowControlled(); }

std::chrono::nanoseconds Server::ReadCharTime() const {
  return std::chrono::nanoseconds(
      static_cast<std::int64_t>(instrument_.Line().CharMicros() * 1000.0 / options_.timeScale));
}

// How many bytes may be read now: all there are, unless reading is paced.
std::size_t Server::ReadRoom() const {
  if (!PacedReading()) return kReadChunk;
  return std::chrono::steady_clock::now() < nextRead_ ? 0 : kPacedReadChunk;
}

bool Server::WriteDue() {
  auto& output = instrument_.Output();
  while (!output.empty() && !blocked_ && platform::TickReached(clock_.Now(), output.front().due)) {
    if (!WriteChunk(output.front())) return false;
    if (chunkSent_ < output.front().bytes.size()) return true;  // paced or blocked: later
    output.pop_front();
    chunkSent_ = 0;
  }
  return true;
}

bool Server::WriteChunk(OutputChunk& chunk) {
  if (chunkSent_ == 0 && !chunk.line.Understands(pty_.Seen())) {
    // The other side listens at another rate: what arrives there is noise.
    chunk.bytes = GarbageBytes(chunk.bytes.size());
  }
  while (chunkSent_ < chunk.bytes.size()) {
    std::size_t count = chunk.bytes.size() - chunkSent_;
    if (options_.pace) {
      const RealTime now = std::chrono::steady_clock::now();
      if (now < nextByte_) return true;
      count = 1;
      const auto charTime = std::chrono::nanoseconds(
          static_cast<std::int64_t>(chunk.line.CharMicros() * 1000.0 / options_.timeScale));
      nextByte_ = std::max(now, nextByte_) + charTime;
    }
    const long n = pty_.Write(std::span(chunk.bytes).subspan(chunkSent_, count));
    if (n < 0) return false;
    if (n == 0) {
      blocked_ = true;
      return true;
    }
    chunkSent_ += static_cast<std::size_t>(n);
  }
  return true;
}

void Server::UpdateDump(bool force) {
  const bool state = instrument_.TakeStateChanged();
  const bool flash = instrument_.TakeFlashChanged();
  if (options_.dump != nullptr && (force || state || flash)) options_.dump->Write(instrument_, force || flash);
}

bool Server::WaitForWork() {
  // The wait ends at the first of: the next output due, the next paced byte,
  // the instrument's own deadline.
  auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(kIdleWait);
  const SimTick now = clock_.Now();
  auto until = [&](SimTick tick) {
    wait = std::min(wait, std::chrono::duration_cast<std::chrono::nanoseconds>(
                              clock_.RealDuration(platform::TicksUntil(now, tick))));
  };
  const auto& output = instrument_.Output();
  if (!output.empty() && !blocked_) {
    until(output.front().due);
    if (options_.pace && platform::TickReached(now, output.front().due)) {
      wait = std::min(wait, std::max(std::chrono::nanoseconds(0),
                                     std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         nextByte_ - std::chrono::steady_clock::now())));
    }
  }
  if (const auto deadline = instrument_.Deadline()) until(*deadline);
  const bool mayRead = ReadRoom() > 0;
  if (!mayRead) {
    const auto untilRead = std::chrono::duration_cast<std::chrono::nanoseconds>(nextRead_ - std::chrono::steady_clock::now());
    wait = std::min(wait, std::max(std::chrono::nanoseconds(0), untilRead));
  }

  const auto masterEvents = static_cast<short>((mayRead ? POLLIN : 0) | (blocked_ ? POLLOUT : 0));
  std::array<pollfd, 3> fds{{{pty_.MasterFd(), masterEvents, 0},
                             {options_.stopFd, POLLIN, 0},
                             {options_.inputFd, POLLIN, 0}}};
  const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000),
                         static_cast<long>(wait.count() % 1'000'000'000)};
  const int ready = ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
  if (ready < 0) return errno == EINTR;
  if (fds[0].revents & (POLLERR | POLLNVAL)) return false;
  if (fds[0].revents & POLLOUT) blocked_ = false;
  if (fds[1].revents) stop_ = true;
  if (fds[2].revents) ReadInput();
  return true;
}

void Server::ReadInput() {
  std::array<char, 256> buffer;
  const ssize_t n = ::read(options_.inputFd, buffer.data(), buffer.size());
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    stop_ = true;
    return;
  }
  for (const char c : std::span(buffer).first(static_cast<std::size_t>(n))) {
    if (c == '\n') {
      CarryOut(input_);
      input_.clear();
    } else if (input_.size() < kMaxActionLength) {
      input_ += c;
    }
  }
}

void Server::CarryOut(std::string_view action) {
  if (!action.empty() && action.back() == '\r') action.remove_suffix(1);
  if (action.empty()) return;
  if (action != "power-cycle" && action != "power-cycle boot-key") {
    std::fprintf(stderr, "instrument-sim: unknown action: %.*s\n", static_cast<int>(action.size()), action.data());
    return;
  }
  instrument_.PowerCycle(action != "power-cycle");
  chunkSent_ = 0;  // the chunk being sent went with the power
  blocked_ = false;
  if (options_.reportFd < 0) return;
  const std::string done = "done " + std::string(action) + "\n";
  [[maybe_unused]] const ssize_t written = ::write(options_.reportFd, done.data(), done.size());
}

}  // namespace sim
