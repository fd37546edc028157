#pragma once
// PtyPairs: pseudo-terminals whose slave sides the serial component opens as
// COM1, COM2, ... (through UPDATER_PORTS) while the test plays the instrument
// on the master sides.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_loop.h"

namespace updater::testing {

class PtyPairs {
 public:
  explicit PtyPairs(int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
      int master = -1, slave = -1;
      char name[256] = {};
      if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) continue;
      masters_.push_back(master);
      slaves_.push_back(slave);  // kept open so the pty lives as long as the test
      list += (list.empty() ? "" : ",") + std::string(name);
      paths_.emplace_back(name);
    }
    ::setenv("UPDATER_PORTS", list.c_str(), 1);
  }
  ~PtyPairs() {
    ::unsetenv("UPDATER_PORTS");
    for (int fd : masters_) ::close(fd);
    for (int fd : slaves_) ::close(fd);
  }
  PtyPairs(const PtyPairs&) = delete;
  PtyPairs& operator=(const PtyPairs&) = delete;

  int Count() const { return static_cast<int>(masters_.size()); }
  /// Device path of the slave side of port `index`.
  const std::string& Path(int index) const { return paths_[static_cast<std::size_t>(index)]; }

  /// The instrument on port `index` (0 = COM1) sends `bytes`.
  void Send(int index, std::string_view bytes) const {
    (void)!::write(masters_[static_cast<std::size_t>(index)], bytes.data(), bytes.size());
  }

  /// What the updater wrote to port `index`: reads until `expected` bytes came
  /// or `timeoutMs` passed without a byte.
  std::string Received(int index, std::size_t expected, int timeoutMs = 2000) const {
    std::string data;
    pollfd p{masters_[static_cast<std::size_t>(index)], POLLIN, 0};
    while (data.size() < expected && ::poll(&p, 1, timeoutMs) > 0) {
      char buffer[256];
      const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
      if (n <= 0) break;
      data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
  }

 private:
  std::vector<int> masters_;
  std::vector<int> slaves_;
  std::vector<std::string> paths_;
};

/// Delivers the loop's messages until `done` holds or `ms` logical
/// milliseconds have passed; returns `done()`.
inline bool RunUntil(platform::MessageLoop& loop, const std::function<bool()>& done, platform::Tick ms = 3000) {
  const platform::Tick deadline = loop.GetClock().Now() + ms;
  while (!done() && !platform::TickReached(loop.GetClock().Now(), deadline)) {
    loop.WaitForMessage(deadline);
    loop.ProcessPendingMessages();
  }
  return done();
}

}  // namespace updater::testing
