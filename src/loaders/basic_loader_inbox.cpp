#include "loaders/basic_loader_inbox.h"

#include <algorithm>
#include <cstring>

#include "updater/event_codes.h"

namespace loaders {

using namespace std::string_view_literals;

const std::array<BasicLoaderReply, 16> kBasicLoaderReplies = {{
    {"Basic-Loader  |", updater::EV_BL_SIGN_ON},
    {"Basic-Loader / 1.01", updater::EV_BL_VERSION},
    {"Basic-Loader / 1.02", updater::EV_BL_VERSION},
    {"Flash-Memory erased !", updater::EV_BL_ERASED},
    {"Flash-Memory (1/2) erased !", updater::EV_BL_HALF_ERASED},
    {"Flash-Memory programmed", updater::EV_BL_PROGRAMMED},
    {"Waiting for S-Record !", updater::EV_BL_WAITING},
    {"S-Record defect!", updater::EV_BL_DEFECT},
    {"Record defekt!", updater::EV_BL_DEFECT},
    {"Ready PC ?  Seg=0", updater::EV_BL_READY_SEG0},
    {"Ready PC ?  Seg=1", updater::EV_BL_READY_SEG1},
    {"Erasing Flash-Memory (1) !", updater::EV_BL_ERASING},
    {"Erasing Flash-Memory (2) !", updater::EV_BL_ERASING},
    {"Flash-Memory (1) programmed !", updater::EV_BL_PROGRAMMED},
    {"Flash-Memory (2) programmed !", updater::EV_BL_PROGRAMMED},
    {"\xA1\x48\x20\x14"sv, updater::EV_BL_PROGRAMMED},
}};

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The reply number behind a numbered reply's prefix: blanks skipped, an
// optional sign, then digits; no digits give 0.
std::int32_t ReplyNumberAt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int32_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && number < 100000; ++i) {
    number = number * 10 + (text[i] - '0');
  }
  return negative ? -number : number;
}

}  // namespace

std::uint8_t* BasicLoaderInbox::MakeRoom() {
  if (kCapacity - count_ < kReadSize) DropOldest(kReadSize - (kCapacity - count_));
  return buffer_.data() + count_;
}

void BasicLoaderInbox::Added(std::size_t count) { count_ = std::min(kCapacity, count_ + count); }

void BasicLoaderInbox::Append(std::string_view bytes) {
  if (bytes.size() > kCapacity) bytes.remove_prefix(bytes.size() - kCapacity);
  if (kCapacity - count_ < bytes.size()) DropOldest(bytes.size() - (kCapacity - count_));
  std::memcpy(buffer_.data() + count_, bytes.data(), bytes.size());
  count_ += bytes.size();
}

void BasicLoaderInbox::Match(const std::function<void(std::int32_t event)>& raise) {
  for (const BasicLoaderReply& reply : kBasicLoaderReplies) {
    if (TakeOut(reply.text)) raise(reply.event);
  }
  while (TakeAbortReply()) raise(updater::RP_ABORT);
}

bool BasicLoaderInbox::TakeOut(std::string_view text) {
  const std::size_t at = Text().find(text);
  if (at == std::string_view::npos) return false;
  Remove(at, text.size());
  return true;
}

// A numbered reply counts once its line is complete: from its prefix to the
// line end, which is taken out with it.
bool BasicLoaderInbox::TakeAbortReply() {
  const std::string_view text = Text();
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find(kLineEnd, start);
    if (end == std::string_view::npos) return false;
    const std::string_view line = text.substr(start, end - start);
    for (std::string_view prefix : {"I."sv, "B."sv}) {
      const std::size_t at = line.find(prefix);
      if (at != std::string_view::npos &&
          ReplyNumberAt(line.substr(at + prefix.size())) == updater::RP_ABORT) {
        Remove(start + at, end + kLineEnd.size() - (start + at));
        return true;
      }
    }
    start = end + kLineEnd.size();
  }
  return false;
}

void BasicLoaderInbox::Remove(std::size_t position, std::size_t length) {
  std::memmove(buffer_.data() + position, buffer_.data() + position + length,
               count_ - position - length);
  count_ -= length;
}

void BasicLoaderInbox::DropOldest(std::size_t bytes) { Remove(0, std::min(bytes, count_)); }

}  // namespace loaders
