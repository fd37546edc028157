#pragma once
// How long the user is told a download may take.
#include <cstdint>

#include "updater/device_record.h"

namespace updater {

/// Kind of programming start: 0 for the .mot entry command, 1 for the MSP430
/// boot loader, 2 for the WinCE, EMF and .HEX paths.
enum DownloadKind : std::int32_t { DK_ENTRY = 0, DK_BOOTLOADER = 1, DK_LONG = 2 };

/// True when the offered main file is newer than the instrument's software:
/// an older instrument, or the same version with `force`.
bool MainIsNewer(const DeviceRecord& record, bool force);
/// The same test for the second component's pair.
bool SecondIsNewer(const DeviceRecord& record, bool force);

/// Minutes: 2 when the main file is newer (else 0), 15 for kind 2 whatever
/// the main file, +1 for a newer second pair, +2 for a first file name longer
/// than 3 characters, +35 more when the second pair is newer and the second
/// version is above 200.
std::uint32_t DownloadMinutes(std::int32_t kind, const DeviceRecord& record, bool force);

}  // namespace updater
