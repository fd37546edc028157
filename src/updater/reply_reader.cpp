#include "updater/reply_reader.h"

#include <string_view>

#include "serial/read_arrived.h"

namespace updater {
namespace {

bool EndsWithLineEnd(const char* data, int count) {
  return std::string_view(data, static_cast<std::size_t>(count)).ends_with("\r\n");
}

}  // namespace

void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position) {
  parser.MakeRoom(TReplyParser::kReadSize);
  char data[TReplyParser::kReadSize + 1];
  int count = serial::ReadArrived(port, data, TReplyParser::kReadSize);
  if (count < 0) return;  // closed: the received bytes stay
  if (count < TReplyParser::kReadSize && !EndsWithLineEnd(data, count)) {
    // Part of a reply, or something the parser can only tell by the silence
    // after it (a lone acknowledgement byte, a frame): the rest is awaited
    // as the component's read does, until the line has been quiet for a
    // while.
    const int rest = port.Read(data + count, static_cast<unsigned long>(TReplyParser::kReadSize - count));
    if (rest < 0) return;
    count += rest;
  }
  parser.Feed(data, count, position);
}

}  // namespace updater
