// The running firmware's entry into the EMF boot loader (emf preset):
// "A.1250#d", "A.1255#d", "A.1256#d" for components 0, 1 and 2, where the
// digit d is the code of the boot loader's rate (3: 9600, 7: 115200 bit/s).
// The firmware answers with a line that repeats the command ("A.1250",
// "C.1255", "C.1256"), then the boot loader listens at that rate with two
// stop bits. Instruments without an EMF processor refuse these commands.
#include <optional>

#include "sim/firmware_protocol.h"

namespace sim {
namespace {

std::optional<std::uint32_t> EmfRate(std::string_view digit) {
  if (digit == "3") return 9600;
  if (digit == "7") return 115200;
  return std::nullopt;
}

}  // namespace

void FirmwareProtocol::EnterEmfMain(std::string_view parameter) { EnterEmf(0, parameter); }
void FirmwareProtocol::EnterEmfSensor(std::string_view parameter) { EnterEmf(1, parameter); }
void FirmwareProtocol::EnterEmfFallback(std::string_view parameter) { EnterEmf(2, parameter); }

void FirmwareProtocol::EnterEmf(int component, std::string_view parameter) {
  const std::optional<std::uint32_t> baud = EmfRate(parameter);
  if (!config_.emf || !baud) return Refuse();
  std::string echo = echo_;
  if (component > 0) echo[0] = 'C';
  Reply(echo);
  // Component 2 is reached through a second sensor interface, which this
  // instrument lacks: its firmware stays on the line and waits for the entry
  // of component 0.
  if (component < 2) host_.EnterEmfBootLoader(component, *baud);
}

}  // namespace sim
