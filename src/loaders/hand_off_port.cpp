#include "loaders/hand_off_port.h"

namespace loaders {
namespace {

constexpr int kComNumbers = 256;

}  // namespace

std::string ComPortHandOff::DeviceList() const {
  int last = -1;
  for (int index = 0; index < kComNumbers; ++index) {
    if (!port_.DevicePath(index).empty()) last = index;
  }
  std::string list;
  for (int index = 0; index <= last; ++index) {
    if (index > 0) list += ',';
    list += port_.DevicePath(index);
  }
  return list;
}

void ComPortHandOff::Release() {
  port_.SaveLastV24Parameter();
  port_.HandOff();
}

}  // namespace loaders
