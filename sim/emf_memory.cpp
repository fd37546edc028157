#include "sim/emf_memory.h"

#include <span>

#include "sim/emf_image.h"
#include "sim/xmodem_crc.h"

namespace sim {
namespace {

constexpr std::size_t kTrailerSize = 6;

std::span<const std::uint8_t> WithoutTrailer(const std::vector<std::uint8_t>& received) {
  return std::span(received).first(received.size() < kTrailerSize ? 0
                                                                  : received.size() - kTrailerSize);
}

}  // namespace

std::optional<std::string> EmfApplicationVersion(const EmfMemory& memory) {
  if (!memory.valid) return std::nullopt;
  return ReadEmfVersion(memory.flash);
}

std::unique_ptr<EmfMemory> MakeFactoryEmfMemory(const FirmwareImageSpec& recipe, bool blank) {
  auto memory = std::make_unique<EmfMemory>();
  if (blank) return memory;
  memory->flash = BuildEmfImage(recipe);
  memory->valid = true;
  return memory;
}

void EraseEmfMemory(EmfMemory& memory) {
  memory.flash.clear();
  memory.received.clear();
  memory.valid = false;
  ++memory.revision;
}

void StoreEmfBlock(EmfMemory& memory, std::span<const std::uint8_t> data) {
  memory.received.insert(memory.received.end(), data.begin(), data.end());
  ++memory.revision;
}

void EndEmfTransfer(EmfMemory& memory) {
  const std::span<const std::uint8_t> image = WithoutTrailer(memory.received);
  memory.flash.assign(image.begin(), image.end());
  memory.valid = false;
  ++memory.revision;
  if (memory.received.size() < kTrailerSize) return;
  const std::uint8_t* trailer = memory.received.data() + image.size();
  const std::uint32_t length = trailer[0] | trailer[1] << 8 | trailer[2] << 16 |
                               static_cast<std::uint32_t>(trailer[3]) << 24;
  const auto crc = static_cast<std::uint16_t>(trailer[4] | trailer[5] << 8);
  memory.valid = length == image.size() && crc == Crc16Xmodem(image);
}

std::uint16_t ReceivedImageCrc(const EmfMemory& memory) {
  return Crc16Xmodem(WithoutTrailer(memory.received));
}

}  // namespace sim
