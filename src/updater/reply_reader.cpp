#include "updater/reply_reader.h"

#include "serial/read_arrived.h"

namespace updater {

void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position) {
  for (int count = TReplyParser::kReadSize; count == TReplyParser::kReadSize;) {
    parser.MakeRoom(TReplyParser::kReadSize);
    char data[TReplyParser::kReadSize + 1];
    count = serial::ReadArrived(port, data, TReplyParser::kReadSize);
    if (count <= 0) return;
    parser.Feed(data, count, position);
  }
}

}  // namespace updater
