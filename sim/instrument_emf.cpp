// The instrument's EMF side (emf preset): the firmware hands the line to the
// EMF boot loader, and the boot loader starts the application it received.
#include "sim/emf_boot_loader.h"
#include "sim/firmware_check.h"
#include "sim/instrument.h"

namespace sim {

bool Instrument::MainFirmwareRuns() const {
  if (emf_) return EmfApplicationVersion(*emf_).has_value();
  return HasRunnableFirmware(*main_, VersionAddressOf(0));
}

void Instrument::EnterEmfBootLoader(int component, std::uint32_t baud) {
  pending_ = Switch::kEmfBootLoader;
  pendingComponent_ = component;
  pendingBaud_ = baud;
}

void Instrument::StartEmfApplication() { pending_ = Switch::kEmfApplication; }

void Instrument::ApplyEmfSwitch(Switch what) {
  if (what == Switch::kEmfBootLoader) {
    // It starts once the firmware's answer has left.
    const SimTick startMs = config_.firmware.replyMs + config_.emf->startMs;
    return StartEmfBootLoader(pendingComponent_, {pendingBaud_, 2, false}, startMs);
  }
  // The processor restarts; after its start-up time the application reports
  // (StartFirmware), or the boot loader is back when the image is not valid.
  protocol_.reset();
  bootAt_ = clock_.Now() + config_.bootMs;
  stateChanged_ = true;
}

void Instrument::StartEmfBootLoader(int component, LineSettings line, SimTick startMs) {
  protocol_ = std::make_unique<EmfBootLoader>(AsHost(), *emf_, *config_.emf, line, clock_,
                                              clock_.Now() + startMs);
  bootAt_.reset();
  state_.firmwareRunning = false;
  state_.bootLoaderComponent = component;
  RefreshVersions();  // none, when the loader came up for want of a valid image
  stateChanged_ = true;
}

}  // namespace sim
