#include "updater/workflow/search_tables.h"

#include "serial/v24_types.h"
#include "updater/device_profiles.h"

namespace updater {
namespace {

constexpr BootProbe kBootProbe[5] = {
    {"\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9},  // a frame in the boot-loader format of .mot instruments
    {"\x80", 1},                                  // MSP430 boot loader synchronisation
    {"\r\n", 2},
    {"\r\n", 2},
    {"\x85\x01\x00\x1A", 4},
};

// The EMF boot loader knows no probe frame; it answers its version query. EOT
// in front ends a transfer that a broken-off run left it in (it takes EOT at a
// block's start, and the search's bytes have long been refused); in its
// command mode the line end closes EOT and whatever the other rates left in
// its line buffer into a line it answers "?".
constexpr BootProbe kEmfProbe{"\x04\r\nA.2051\r\n", 11};

}  // namespace

std::string_view IdentifyCommandOf(std::int32_t startCmdIndex) {
  return startCmdIndex == 1 ? "A.1000\r\n" : "A.1111\r\n";
}

std::string BaudName(std::int32_t baudCode) {
  const std::uint32_t rate = serial::BaudRateOf(static_cast<serial::BaudTag>(baudCode));
  return rate == 0 ? std::string("?") : std::to_string(rate);
}

BootProbe FirstProbeOf(std::int32_t fileType) {
  if (fileType == FT_BIN) return kEmfProbe;
  return fileType >= 0 && fileType <= 4 ? kBootProbe[fileType] : BootProbe{"", 0};
}

BootProbe SecondProbeOf(std::int32_t fileType) {
  return fileType >= 0 && fileType <= 1 ? kBootProbe[fileType + 3] : FirstProbeOf(fileType);
}

}  // namespace updater
