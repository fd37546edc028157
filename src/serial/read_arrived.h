#pragma once
// Reading what a port has received without waiting for more.
#include "serial/com_port.h"

namespace serial {

/// Reads up to `size` bytes of what has arrived on `port` and returns at once:
/// the component's Read waits out its time-outs whenever fewer bytes are
/// there than asked for (20 ms after the last one), which would hold every
/// complete frame back. A read of nothing first tells the component that the
/// owner has looked, so that every later arrival is announced again; bytes
/// noted before that are queued by now and taken here. `buffer` holds
/// size + 1 bytes for the component's zero byte. Returns the count (0 when
/// nothing is there) or TComPort::kClosed.
int ReadArrived(TComPort& port, char* buffer, int size);

}  // namespace serial
