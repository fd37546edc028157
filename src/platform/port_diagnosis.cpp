#include "platform/port_diagnosis.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

bool SameDevice(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool AllDigits(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
  }
  return true;
}

// Whether process `pid` has a descriptor on the device `device`.
bool HoldsDevice(const std::string& pid, const struct stat& device) {
  const std::string fdDir = "/proc/" + pid + "/fd";
  DIR* dir = ::opendir(fdDir.c_str());
  if (dir == nullptr) return false;  // another user's process: not ours to see
  bool holds = false;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat target {};
    if (!AllDigits(entry->d_name) || ::stat((fdDir + "/" + entry->d_name).c_str(), &target) != 0)
      continue;
    if (SameDevice(target, device)) {
      holds = true;
      break;
    }
  }
  ::closedir(dir);
  return holds;
}

std::string ProcessName(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "pid " + pid : name + " (pid " + pid + ")";
}

// The process that holds the lock on the device file, from /proc/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:1a:6 0 EOF" (device numbers in hex).
std::string LockHolder(const struct stat& file) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, id;
    if (!(fields >> number >> kind >> mode >> access >> pid >> id) || kind == "->") continue;
    unsigned major = 0, minor = 0;
    unsigned long inode = 0;
    if (std::sscanf(id.c_str(), "%x:%x:%lu", &major, &minor, &inode) != 3) continue;
    if (major == ::major(file.st_dev) && minor == ::minor(file.st_dev) && inode == file.st_ino)
      return pid;
  }
  return {};
}

}  // namespace

std::string FindHolder(const std::string& path) {
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0) return {};
  // The lock's owner is the one that keeps us out; others may merely have
  // the device open (a parent that handed it down, say).
  const std::string locker = LockHolder(device);
  if (!locker.empty() && locker != std::to_string(::getpid())) return ProcessName(locker);
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return {};
  const std::string self = std::to_string(::getpid());
  std::string holder;
  while (const dirent* entry = ::readdir(proc)) {
    if (!AllDigits(entry->d_name) || entry->d_name == self) continue;
    if (HoldsDevice(entry->d_name, device)) {
      holder = ProcessName(entry->d_name);
      break;
    }
  }
  ::closedir(proc);
  return holder;
}

PortDiagnosis DiagnoseAccess(const std::string& path, PortAccess access) {
  switch (access) {
    case PortAccess::kFree:
      return {PortState::kUsable, {}};
    case PortAccess::kHeld:
      return {PortState::kHeld, FindHolder(path)};
    case PortAccess::kNoPermission:
      return {PortState::kNoPermission, {}};
    case PortAccess::kAbsent:
      break;
  }
  struct stat info {};
  return {::stat(path.c_str(), &info) == 0 ? PortState::kNotSerial : PortState::kAbsent, {}};
}

PortDiagnosis DiagnosePort(SerialDriver& driver, const std::string& path) {
  return DiagnoseAccess(path, driver.Probe(path));
}

}  // namespace platform
