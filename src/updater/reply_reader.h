#pragma once
// Hands what a port has received to the reply parser.
#include "serial/com_port.h"
#include "updater/reply_parser.h"

namespace updater {

/// Feeds `parser` with everything that has arrived on `port` (the port at
/// table `position`), without waiting for more: a complete reply is handled
/// the moment its last byte is in, and the rest of one still coming is
/// announced when it comes. A closed port leaves the received bytes as they
/// are.
void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position);

}  // namespace updater
