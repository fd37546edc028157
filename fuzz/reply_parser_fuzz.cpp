// The instrument's replies as they arrive: the input cut into reads of varying
// size (each read's size and port taken from the input itself), the events
// delivered after each read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "updater/reply_parser.h"

namespace {

class Listener final : public updater::ReplyListener {
 public:
  void LogReply(std::string_view text) override { logged += text.size(); }
  void AnswerFrom(int position) override { logged += static_cast<std::size_t>(position); }
  std::size_t logged = 0;
};

// Takes the events off the queue, and reads the texts and the value the
// last ones point to.
std::size_t Drain(core::TEvents& events, const updater::TReplyParser& parser) {
  while (!events.FetchEvent().Empty()) {
  }
  return std::strlen(parser.ReplyText()) + std::strlen(parser.FrameText()) +
         static_cast<std::size_t>(parser.ReplyValue() > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  core::TEvents events;
  Listener listener;
  updater::TReplyParser parser(events, listener);
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t control = data[at++];
    const std::size_t chunk = std::min<std::size_t>(control % 64 + 1, size - at);
    const int position = control >> 6;
    parser.MakeRoom(static_cast<int>(chunk));
    parser.Feed(reinterpret_cast<const char*>(data + at), static_cast<int>(chunk), position);
    at += chunk;
    listener.logged += Drain(events, parser);
    if (control == 0xFF) parser.Clear();
  }
  return 0;
}
