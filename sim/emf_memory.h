#pragma once
// The EMF processor's program memory as its boot loader keeps it. Owned by
// the instrument, so that it outlives the protocol that has the line.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/image_builder.h"

namespace sim {

struct EmfMemory {
  /// The application image: the factory image, or after a transfer the
  /// received bytes without their 6-byte trailer (flash.bin).
  std::vector<std::uint8_t> flash;
  /// Data of the blocks accepted in the last transfer, in order (received.bin).
  std::vector<std::uint8_t> received;
  /// The image passed its check: the factory image, or a transfer whose
  /// trailer holds the image's length and CRC. Only a valid image is started.
  bool valid = false;
  /// Counts every change, so that the dump knows when to rewrite the files.
  std::uint64_t revision = 0;
};

/// The memory as the factory leaves it: the image built from `recipe`, valid;
/// erased when `blank` (a bricked instrument).
std::unique_ptr<EmfMemory> MakeFactoryEmfMemory(const FirmwareImageSpec& recipe, bool blank);

/// The version of the application the processor would start, or nullopt
/// when the memory holds none it can run.
std::optional<std::string> EmfApplicationVersion(const EmfMemory& memory);

/// Erases the memory for a new transfer.
void EraseEmfMemory(EmfMemory& memory);

/// Stores the data of the next block of the transfer.
void StoreEmfBlock(EmfMemory& memory, std::span<const std::uint8_t> data);

/// The transfer has ended: the received image without its trailer becomes the
/// application, valid when the trailer's length (little-endian, 4 bytes) is
/// the size of that image and its CRC (CRC-16/XMODEM, little-endian, 2 bytes)
/// is the CRC of that image.
void EndEmfTransfer(EmfMemory& memory);

/// The CRC-16/XMODEM of the received bytes without the trailer: what the boot
/// loader reports after a transfer.
std::uint16_t ReceivedImageCrc(const EmfMemory& memory);

}  // namespace sim
