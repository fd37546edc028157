#include "ui/console/port_listing.h"

#include <string>

#include "platform/port_diagnosis.h"
#include "platform/port_identity.h"

namespace console {
namespace {

std::string StateText(const platform::PortDiagnosis& why) {
  switch (why.state) {
    case platform::PortState::kUsable:
      return "usable";
    case platform::PortState::kHeld:
      return "held by " + (why.holder.empty() ? "another program" : why.holder);
    case platform::PortState::kNoPermission:
      return "no permission (join the dialout group)";
    case platform::PortState::kNotSerial:
      return "not a serial device";
    case platform::PortState::kAbsent:
      break;
  }
  return "absent";
}

}  // namespace

int ListPorts(std::ostream& out, platform::SerialDriver& driver) {
  driver.RefreshPortMap();
  int listed = 0;
  for (int index = 0; index < platform::SerialDriver::kMaxPorts; ++index) {
    const std::string path = driver.PortPath(index);
    if (path.empty()) continue;
    const platform::PortIdentity identity = platform::IdentifyPort(path);
    out << "COM" << index + 1 << "  " << path << "  "
        << StateText(platform::DiagnosePort(driver, path));
    if (!identity.byId.empty()) out << "  " << identity.byId;
    if (!identity.usbIds.empty()) out << "  USB " << identity.usbIds;
    if (!identity.usbSerial.empty()) out << " serial " << identity.usbSerial;
    out << "\n";
    ++listed;
  }
  if (listed == 0) out << "No serial port found.\n";
  return listed;
}

}  // namespace console
