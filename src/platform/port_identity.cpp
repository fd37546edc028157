#include "platform/port_identity.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string ById(const fs::path& device) {
  std::error_code ec;
  const fs::path wanted = fs::weakly_canonical(device, ec);
  for (const fs::directory_entry& link : fs::directory_iterator("/dev/serial/by-id", ec)) {
    std::error_code linkError;
    if (fs::weakly_canonical(link.path(), linkError) == wanted && !linkError)
      return link.path().string();
  }
  return {};
}

// The USB device above a tty in sysfs: the first parent that has idVendor.
void FillUsb(const fs::path& device, PortIdentity& identity) {
  std::error_code ec;
  fs::path at = fs::canonical("/sys/class/tty/" + device.filename().string() + "/device", ec);
  if (ec) return;
  for (; !at.empty() && at != at.root_path(); at = at.parent_path()) {
    if (!fs::exists(at / "idVendor", ec)) continue;
    identity.usbIds = FirstLine(at / "idVendor") + ":" + FirstLine(at / "idProduct");
    identity.usbSerial = FirstLine(at / "serial");
    return;
  }
}

}  // namespace

PortIdentity IdentifyPort(const std::string& path) {
  PortIdentity identity;
  identity.byId = ById(path);
  FillUsb(path, identity);
  return identity;
}

}  // namespace platform
