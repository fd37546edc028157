#pragma once
// What the search writes and shows: the identify command, the names of the
// baud rates and the direct boot-loader probes.
#include <cstdint>
#include <string>
#include <string_view>

namespace updater {

/// The identify command the search writes to every port: "A.1000\r\n" for
/// StartCmdIndex 1, "A.1111\r\n" otherwise.
std::string_view IdentifyCommandOf(std::int32_t startCmdIndex);

/// Status-bar name of a BaudTag code: the bit rate in decimal ("1200" ...
/// "256000"); "?" for a code outside 0..9.
std::string BaudName(std::int32_t baudCode);

/// A direct boot-loader probe: bytes written as they are, with their length.
struct BootProbe {
  const char* bytes;
  int length;
};

/// The first probe of a FileType (entry FileType) and the second (entry
/// FileType + 3). FileTypes 2 to 4 have no second entry of their own: their
/// first probe is repeated, giving a slow boot loader a second chance. .BIN
/// images (FileType 4) go to the EMF boot loader, which is asked for its
/// version ("A.2051", after EOT and a line end). A FileType outside 0..4
/// gets an empty probe.
BootProbe FirstProbeOf(std::int32_t fileType);
BootProbe SecondProbeOf(std::int32_t fileType);

}  // namespace updater
