#pragma once
// Why a serial device can or cannot be used, in the terms a user can act on:
// usable, held by another program (named when it can be found), no
// permission, not a serial device at all, or absent.
//
// The holder is the process that owns the lock on the device (/proc/locks),
// else one that has it open (/proc/*/fd, a process of the same user or any
// for root). Processes whose descriptors cannot be read are skipped, so the
// name is a best effort; this process itself is never named. Main thread;
// each call reads the file system.
#include <string>

#include "platform/serial_driver.h"

namespace platform {

enum class PortState {
  kUsable,        ///< could be opened exclusively
  kHeld,          ///< another program (or another open port) holds it
  kNoPermission,  ///< the user may not open it (typically: not in group dialout)
  kNotSerial,     ///< the path exists but is no serial device (a file, /dev/null, ...)
  kAbsent,        ///< no such device
};

struct PortDiagnosis {
  PortState state = PortState::kAbsent;
  std::string holder;  ///< "minicom (pid 1234)" for a held port when found, else empty
};

/// Refines what a failed (or successful) exclusive opening reported: an
/// "absent" path that exists is no serial device; a held device gets its holder.
PortDiagnosis DiagnoseAccess(const std::string& path, PortAccess access);

/// Probes `path` with `driver` and refines the result as DiagnoseAccess does.
PortDiagnosis DiagnosePort(SerialDriver& driver, const std::string& path);

/// The first other process that has `path` open: "name (pid N)"; empty when
/// none can be found.
std::string FindHolder(const std::string& path);

}  // namespace platform
