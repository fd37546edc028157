#include "updater/reply_reader.h"

#include <string_view>

#include "serial/read_arrived.h"

namespace updater {

void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position) {
  for (int count = TReplyParser::kReadSize; count == TReplyParser::kReadSize;) {
    parser.MakeRoom(TReplyParser::kReadSize);
    char data[TReplyParser::kReadSize + 1];
    count = serial::ReadArrived(port, data, TReplyParser::kReadSize);
    // Closed: the received bytes stay. Nothing: the bytes announced were
    // taken with an earlier arrival's.
    if (count <= 0) return;
    const std::string_view piece(data, static_cast<std::size_t>(count));
    if (count < TReplyParser::kReadSize && TReplyParser::MayBeTakenForALabAnswer(piece)) {
      // The rest is awaited as the component's read does, until the line
      // has been quiet for a while.
      const int rest = port.Read(data + count, static_cast<unsigned long>(TReplyParser::kReadSize - count));
      if (rest < 0) return;
      count += rest;
    }
    parser.Feed(data, count, position);
  }
}

}  // namespace updater
