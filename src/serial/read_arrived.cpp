#include "serial/read_arrived.h"

#include <algorithm>

namespace serial {

int ReadArrived(TComPort& port, char* buffer, int size) {
  if (port.Read(buffer, 0) < 0) return TComPort::kClosed;
  const int ready = std::min(size, port.Queued());
  return ready > 0 ? port.Read(buffer, static_cast<unsigned long>(ready)) : 0;
}

}  // namespace serial
