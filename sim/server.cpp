#include "sim/server.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <span>

namespace sim {
namespace {

constexpr std::size_t kReadChunk = 4096;
// Bytes a paced flow-controlled protocol lets wait ahead of the line.
constexpr std::size_t kPacedReadChunk = 64;
// While a stream crosses the line in either direction, its bytes are handed
// on in steps of at most this long instead of a wake-up per byte.
constexpr auto kFeedStep = std::chrono::milliseconds(2);
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
    if (instrument_.TakeUnplugged()) Unplug();
    if (!WriteDue()) return 1;
    UpdateDump(false);
  }
  UpdateDump(true);
  return 0;
}

bool Server::ReadLine() {
  if (!pty_.IsOpen()) return true;
  std::array<std::uint8_t, kReadChunk> buffer;
  for (std::size_t room = ReadRoom(); room > 0; room = ReadRoom()) {
    const LineSettings beforeRead = pty_.Seen();
    const long n = pty_.Read(std::span(buffer).first(room));
    if (n < 0) return false;
    if (n == 0) {
      settingsWhenIdle_ = beforeRead;
      break;
    }
    deadTime_.BytesArrived(std::chrono::steady_clock::now());
    const auto bytes = std::span(buffer).first(static_cast<std::size_t>(n));
    const LineSettings seen = SettingsOfArrival();
    if (!options_.pace) {
      instrument_.Receive(bytes, seen);
      continue;
    }
    // The bytes reach the instrument one character time after another, from
    // the moment the line is free: a pty carries them at once.
    const auto charTime = ReadCharTime();
    const RealTime start = std::max(std::chrono::steady_clock::now(), lineFree_);
    inbound_.push_back({{bytes.begin(), bytes.end()}, seen, start, charTime, 0});
    inboundBytes_ += bytes.size();
    lineFree_ = start + charTime * n;
  }
  FeedDue();
  return true;
}

// A pty carries no line settings with its bytes: they are read after the
// fact, and by then the updater may have switched its side, as it does right
// after the last frame at the old rate (on a real line its drain waits until
// that frame has left; on a pty the drain returns at once). Bytes that came
// in while the settings changed were sent at the old settings or the new
// ones, so they count as sent at the old ones when only those are understood.
// Bytes sent at settings the instrument never listened at stay noise.
LineSettings Server::SettingsOfArrival() const {
  const LineSettings now = pty_.Seen();
  return !instrument_.Understands(now) && instrument_.Understands(settingsWhenIdle_) ? settingsWhenIdle_ : now;
}

void Server::FeedDue() {
  const RealTime now = std::chrono::steady_clock::now();
  while (!inbound_.empty()) {
    Inbound& chunk = inbound_.front();
    const auto carried = now < chunk.start ? 0 : (now - chunk.start) / chunk.charTime;
    const std::size_t due = std::min(chunk.bytes.size(), static_cast<std::size_t>(carried));
    if (due > chunk.fed) {
      instrument_.Receive(std::span(chunk.bytes).subspan(chunk.fed, due - chunk.fed), chunk.seen);
      inboundBytes_ -= due - chunk.fed;
      chunk.fed = due;
    }
    if (chunk.fed < chunk.bytes.size()) return;
    inbound_.pop_front();
  }
}

// When the next received bytes are due: at the latest when the last byte
// read so far is, and no later than kFeedStep after the next one, so that a
// long stream is fed in steps instead of a wake-up per byte.
std::optional<Server::RealTime> Server::NextFeed() const {
  if (inbound_.empty()) return std::nullopt;
  const Inbound& front = inbound_.front();
  const RealTime next = front.start + front.charTime * static_cast<long>(front.fed + 1);
  return std::min(lineFree_, next + kFeedStep);
}

std::chrono::nanoseconds Server::ReadCharTime() const { return CharTime(instrument_.Line()); }

// How many bytes may be read now: all there are, unless a flow-controlled
// protocol is paced: then no more than a small buffer ahead of the line, and
// the pty holds the rest back as CTS would hold the sender.
std::size_t Server::ReadRoom() const {
  if (!options_.pace || !instrument_.FlowControlled()) return kReadChunk;
  return inboundBytes_ < kPacedReadChunk ? kPacedReadChunk - inboundBytes_ : 0;
}

bool Server::WriteDue() {
  auto& output = instrument_.Output();
  if (!pty_.IsOpen()) output.clear();  // nobody there to hear it
  while (!output.empty() && !blocked_ && platform::TickReached(clock_.Now(), output.front().due)) {
    if (!WriteChunk(output.front())) return false;
    if (chunkSent_ < output.front().bytes.size()) return true;  // paced or blocked: later
    output.pop_front();
    chunkSent_ = 0;
    if (output.empty()) deadTime_.ReplyEnded(options_.pace ? nextByte_ : std::chrono::steady_clock::now());
  }
  return true;
}

bool Server::WriteChunk(OutputChunk& chunk) {
  if (chunkSent_ == 0 && !chunk.line.Understands(pty_.Seen())) {
    // The other side listens at another rate: what arrives there is noise.
    chunk.bytes = GarbageBytes(chunk.bytes.size());
  }
  const auto charTime = CharTime(chunk.line);
  while (chunkSent_ < chunk.bytes.size()) {
    std::size_t count = chunk.bytes.size() - chunkSent_;
    if (options_.pace) {
      // A chunk on an idle line leaves at once; within a chunk, every byte
      // whose time has come goes in one write, as a receiver's FIFO hands
      // them on together.
      const RealTime now = std::chrono::steady_clock::now();
      if (chunkSent_ == 0 && nextByte_ < now) nextByte_ = now;
      if (now < nextByte_) return true;
      count = std::min(count, static_cast<std::size_t>((now - nextByte_) / charTime) + 1);
    }
    const long n = pty_.Write(std::span(chunk.bytes).subspan(chunkSent_, count));
    if (n < 0) return false;
    if (n == 0) {
      blocked_ = true;
      return true;
    }
    chunkSent_ += static_cast<std::size_t>(n);
    if (options_.pace) nextByte_ += charTime * n;
  }
  return true;
}

std::chrono::nanoseconds Server::CharTime(const LineSettings& line) const {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(line.CharMicros() * 1000.0 / options_.timeScale));
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
    if (!options_.pace || !platform::TickReached(now, output.front().due)) {
      until(output.front().due);
    } else {
      // Due, but paced: the next bytes of the chunk leave when the last is
      // due, but no later than a step after the next, so that a long reply
      // goes out in steps (waking at once until then would spin).
      const OutputChunk& chunk = output.front();
      const auto charTime = CharTime(chunk.line);
      const auto left = static_cast<long>(chunk.bytes.size() - chunkSent_);
      const RealTime next = chunkSent_ == 0 ? nextByte_
                                            : std::min(nextByte_ + charTime * (left - 1), nextByte_ + kFeedStep);
      wait = std::min(wait, std::max(std::chrono::nanoseconds(0), std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                                      next - std::chrono::steady_clock::now())));
    }
  }
  if (const auto deadline = instrument_.Deadline()) until(*deadline);
  if (const auto feed = NextFeed()) {
    wait = std::min(wait, std::max(std::chrono::nanoseconds(0), std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                                     *feed - std::chrono::steady_clock::now())));
  }
  const bool mayRead = ReadRoom() > 0;

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
  if (action == "clear-faults") {
    instrument_.ClearFaults();
    if (!pty_.IsOpen() && !Replug()) return;
  } else if (action == "power-cycle" || action == "power-cycle boot-key") {
    instrument_.PowerCycle(action != "power-cycle");
    DropLineTraffic();  // it went with the power
  } else {
    std::fprintf(stderr, "instrument-sim: unknown action: %.*s\n", static_cast<int>(action.size()), action.data());
    return;
  }
  if (options_.reportFd < 0) return;
  const std::string done = "done " + std::string(action) + "\n";
  [[maybe_unused]] const ssize_t written = ::write(options_.reportFd, done.data(), done.size());
}

// The port is pulled out: the updater's descriptor hangs up, and what was
// on its way in either direction is lost.
void Server::Unplug() {
  pty_.Close();
  if (options_.link != nullptr) PtyTransport::Unlink(options_.link);
  instrument_.Output().clear();
  DropLineTraffic();
}

// Forgets the chunk being sent and what was still on its way in.
void Server::DropLineTraffic() {
  chunkSent_ = 0;
  inbound_.clear();
  inboundBytes_ = 0;
  blocked_ = false;
}

bool Server::Replug() {
  if (const std::string failure = pty_.Open(); !failure.empty()) {
    std::fprintf(stderr, "instrument-sim: %s\n", failure.c_str());
    return false;
  }
  if (options_.link != nullptr && !pty_.Link(options_.link)) {
    std::perror("instrument-sim: --link");
    return false;
  }
  return true;
}

}  // namespace sim
