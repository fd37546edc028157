#pragma once
// What the system knows about a serial device besides its path: the stable
// name under /dev/serial/by-id/ and, for a USB adapter, the vendor and
// product ids and the serial number from sysfs. Pseudo-terminals and plain
// UARTs have none of it. Reads the file system; any thread.
#include <string>

namespace platform {

struct PortIdentity {
  std::string byId;       ///< "/dev/serial/by-id/usb-...-if00-port0", or empty
  std::string usbIds;     ///< "0403:6001", or empty
  std::string usbSerial;  ///< the adapter's serial number, or empty
};

/// The identity of `path`; empty fields where the system knows nothing.
PortIdentity IdentifyPort(const std::string& path);

}  // namespace platform
