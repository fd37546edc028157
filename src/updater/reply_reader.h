#pragma once
// Hands what a port has received to the reply parser.
#include "serial/com_port.h"
#include "updater/reply_parser.h"

namespace updater {

/// Feeds `parser` with what has arrived on `port` (the port at table
/// `position`). When that ends with a line end the replies are complete and
/// are handled at once, instead of 20 ms later when the component's read
/// would have given up waiting for more; anything else is read on as the
/// component reads, until the line is quiet. A closed port leaves the
/// received bytes as they are.
void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position);

}  // namespace updater
