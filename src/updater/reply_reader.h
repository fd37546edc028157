#pragma once
// Hands what a port has received to the reply parser.
#include "serial/com_port.h"
#include "updater/reply_parser.h"

namespace updater {

/// Feeds `parser` with what has arrived on `port` (the port at table
/// `position`) and returns at once, instead of 20 ms after the last byte as
/// the component's read would. Only a piece that the parser could take for a
/// Lab answer (a "Q" or a boot-loader acknowledgement, no line end behind
/// it) is read on as the component reads, until the line is quiet. A closed
/// port leaves the received bytes as they are.
void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position);

}  // namespace updater
