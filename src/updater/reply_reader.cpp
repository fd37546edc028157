#include "updater/reply_reader.h"

#include <string_view>

#include "serial/read_arrived.h"

namespace updater {
namespace {

// The one thing the parser tells by how its input was cut: a lone "Q" or
// boot-loader acknowledgement without a line end behind it is a Lab answer.
// A piece of a reply with such a byte in it must therefore not be fed before
// the rest has come; any other piece waits in the parser for its line end.
bool MayBeTakenForALabAnswer(std::string_view data) {
  return !data.ends_with("\r\n") && data.find_first_of("Q\x90") != std::string_view::npos;
}

}  // namespace

void FeedArrivedReplies(serial::TComPort& port, TReplyParser& parser, int position) {
  for (int count = TReplyParser::kReadSize; count == TReplyParser::kReadSize;) {
    parser.MakeRoom(TReplyParser::kReadSize);
    char data[TReplyParser::kReadSize + 1];
    count = serial::ReadArrived(port, data, TReplyParser::kReadSize);
    // Closed: the received bytes stay. Nothing: the bytes announced were
    // taken with an earlier arrival's.
    if (count <= 0) return;
    if (count < TReplyParser::kReadSize && MayBeTakenForALabAnswer({data, static_cast<std::size_t>(count)})) {
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
