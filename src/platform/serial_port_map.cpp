#include "platform/serial_port_map.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// Device families in the order their COM numbers are handed out. On-board
// UARTs first, so that the machine's own ports keep the low numbers; then the
// USB adapters, which come and go.
constexpr std::array<std::string_view, 6> kFamilies = {"ttyS",   "ttyUSB", "ttyACM",
                                                       "ttyAMA", "ttymxc", "rfcomm"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// A /dev/ttyS* node exists for every possible 8250 line; only those whose type
// is not "unknown" have a UART behind them. sysfs tells without opening the
// device; where it is missing, ask the driver.
bool HasUart(const std::string& name) {
  const std::string typeFile = "/sys/class/tty/" + name + "/type";
  if (FILE* f = std::fopen(typeFile.c_str(), "re")) {
    int type = 0;
    const bool read = std::fscanf(f, "%d", &type) == 1;
    std::fclose(f);
    if (read) return type != PORT_UNKNOWN;
  }
  const std::string path = "/dev/" + name;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errno == EACCES || errno == EPERM || errno == EBUSY;  // present, but not ours to ask
  serial_struct info{};
  const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
}

}  // namespace

std::vector<std::string> ParsePortList(std::string_view text, std::size_t maxEntries) {
  std::vector<std::string> paths;
  if (Trim(text).empty()) return paths;
  while (paths.size() < maxEntries) {
    const std::size_t cut = text.find_first_of(":,");
    paths.emplace_back(Trim(text.substr(0, cut)));
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
  return paths;
}

bool SerialDeviceOrder(std::string_view name, int& rank, long& number) {
  for (std::size_t i = 0; i < kFamilies.size(); ++i) {
    const std::string_view family = kFamilies[i];
    if (name.size() <= family.size() || name.substr(0, family.size()) != family) continue;
    const std::string_view digits = name.substr(family.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    if (digits.size() > 6) continue;
    rank = static_cast<int>(i);
    number = std::strtol(std::string(digits).c_str(), nullptr, 10);
    return true;
  }
  return false;
}

std::vector<std::string> DiscoverSerialDevices() {
  struct Entry {
    int rank;
    long number;
    std::string name;
  };
  std::vector<Entry> found;
  if (DIR* dir = ::opendir("/dev")) {
    while (const dirent* e = ::readdir(dir)) {
      Entry entry{0, 0, e->d_name};
      if (!SerialDeviceOrder(entry.name, entry.rank, entry.number)) continue;
      if (entry.rank == 0 && !HasUart(entry.name)) continue;
      found.push_back(std::move(entry));
    }
    ::closedir(dir);
  }
  std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.number < b.number;
  });
  std::vector<std::string> paths;
  paths.reserve(found.size());
  for (const Entry& e : found) paths.push_back("/dev/" + e.name);
  return paths;
}

void SerialPortMap::SetExplicit(const std::vector<std::string>& paths) {
  std::fill(paths_.begin(), paths_.end(), std::string());
  std::copy_n(paths.begin(), std::min(paths.size(), paths_.size()), paths_.begin());
}

void SerialPortMap::Merge(const std::vector<std::string>& present) {
  std::size_t next = 0;  // lowest index never used
  while (next < paths_.size() && !paths_[next].empty()) ++next;
  for (const std::string& path : present) {
    if (std::find(paths_.begin(), paths_.end(), path) != paths_.end()) continue;
    if (next < paths_.size()) {
      paths_[next++] = path;
      continue;
    }
    // Every index has been handed out: reuse one whose device has gone.
    auto gone = std::find_if(paths_.begin(), paths_.end(), [&](const std::string& p) {
      return std::find(present.begin(), present.end(), p) == present.end();
    });
    if (gone != paths_.end()) *gone = path;
  }
}

const std::string& SerialPortMap::Path(int index) const {
  static const std::string kNone;
  if (index < 0 || static_cast<std::size_t>(index) >= paths_.size()) return kNone;
  return paths_[index];
}

}  // namespace platform
