#pragma once
// How the instrument judges the firmware in a processor's flash.
#include <cstdint>
#include <optional>
#include <string>

#include "sim/flash_model.h"

namespace sim {

/// The zero-terminated version text at `address` (digits and dots, 1 to 15
/// characters), or nullopt when there is none.
std::optional<std::string> ReadFirmwareVersion(const FlashModel& memory, std::uint32_t address);

/// Where the processor continues after a reset: the reset vector, when it
/// points at programmed main flash or into the boot loader's own memory (a
/// resident loader that starts the application); nullopt otherwise.
std::optional<std::uint32_t> ResetEntry(const FlashModel& memory);

/// True when the flash holds a firmware the processor can run: a version
/// text and a usable reset entry.
bool HasRunnableFirmware(const FlashModel& memory, std::uint32_t versionAddress);

/// True when `address` holds program code (programmed main flash).
bool IsCode(const FlashModel& memory, std::uint32_t address);

/// The version text read as a number times 1000.01, truncated (1.23 gives 1230).
std::int32_t VersionValue(const std::string& text);

}  // namespace sim
