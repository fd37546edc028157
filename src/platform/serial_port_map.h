#pragma once
// The map from port index (0 = COM1) to device path, and how it is filled.
//
// Two sources:
// - An explicit list (UPDATER_PORTS, or the console's --ports option): COM1 is
//   the first path, COM2 the second, ... An empty entry ("a::b") leaves its
//   COM number unmapped. The list replaces discovery entirely.
// - Discovery (DiscoverSerialDevices): the real serial devices, in a stable
//   order. The map keeps the COM number a path once received for the life of
//   the process, so a USB adapter that vanishes and comes back keeps its
//   number, and a new device takes the next unused number instead of shifting
//   the others.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Splits a colon- or comma-separated list of paths; blanks around entries are
/// dropped, empty entries kept as "". At most `maxEntries` entries.
std::vector<std::string> ParsePortList(std::string_view text, std::size_t maxEntries = 256);

/// The real serial devices of this machine, in the order COM numbers are handed
/// out: /dev/ttyS* with a UART behind them, then /dev/ttyUSB*, /dev/ttyACM*,
/// /dev/ttyAMA*, /dev/ttymxc*, /dev/rfcomm*; each family by its number.
std::vector<std::string> DiscoverSerialDevices();

/// Family rank and number of a device name ("ttyUSB3" -> rank 1, number 3);
/// false for names that are no serial device family.
bool SerialDeviceOrder(std::string_view name, int& rank, long& number);

class SerialPortMap {
 public:
  explicit SerialPortMap(std::size_t size = 256) : paths_(size) {}

  /// Replaces the map by an explicit list.
  void SetExplicit(const std::vector<std::string>& paths);
  /// Merges discovered paths: known paths keep their index, new ones take the
  /// lowest index never used; when none is left, an index whose path is no
  /// longer present is reused.
  void Merge(const std::vector<std::string>& present);

  /// Path of `index`, empty when unmapped or out of range.
  const std::string& Path(int index) const;
  std::size_t Size() const { return paths_.size(); }

 private:
  std::vector<std::string> paths_;
};

}  // namespace platform
