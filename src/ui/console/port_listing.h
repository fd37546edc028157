#pragma once
// --list-ports: the serial ports as the updater numbers them, with what a
// technician needs to tell them apart and whether each can be used now.
#include <ostream>

#include "platform/serial_driver.h"

namespace console {

/// Writes one line per mapped port, in COM order:
/// "COM1  /dev/ttyUSB0  usable  [/dev/serial/by-id/usb-...]  [USB 0403:6001 serial A1B2]"
/// with the state one of "usable", "held by NAME (pid N)" (or "held by
/// another program"), "no permission (join the dialout group)", "not a
/// serial device", "absent". Refreshes the driver's port map first; needs no
/// installation. Returns the number of ports listed.
int ListPorts(std::ostream& out, platform::SerialDriver& driver = platform::DefaultSerialDriver());

}  // namespace console
