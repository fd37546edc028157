#include "updater/reply_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string>

#include "updater/config_file.h"

namespace updater {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kNone = std::string_view::npos;

struct FrameVariant {
  char header[4];
  char stop;
  char textStart;
  char textEnd;
};

// Boot loaders announce themselves in one of three frames; the first whose
// header is in the buffer wins.
constexpr std::array<FrameVariant, 3> kFrames{{
    {{0x68, '0', '0', 0x68}, 0x16, 0x1D, 0x0C},
    {{0x68, '1', '1', 0x68}, 0x16, 0x1E, 0x0A},
    {{0x68, ',', ',', 0x68}, 0x16, 0x19, 0x0C},
}};

constexpr char kBslAcknowledge = static_cast<char>(0x90);  // MSP430 BSL answer to the 0x80 probe
constexpr char kLabQ = 'Q';
// The bytes that, alone, are a Lab answer.
constexpr char kLabAnswerBytes[] = {kLabQ, kBslAcknowledge};

// 1-based position of `mark` in `line`, 0 when absent.
std::size_t PositionOf(std::string_view line, std::string_view mark) {
  const std::size_t at = line.find(mark);
  return at == kNone ? 0 : at + 1;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// C-style decimal floating-point reading: leading white space, an optional
// sign, digits with an optional point and exponent; 0 when there is none.
// Independent of the locale (a GUI may have set a decimal comma).
float ReadFloat(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::string_view rest = text.substr(i);
  if (rest.empty() || !(std::isdigit(static_cast<unsigned char>(rest[0])) || rest[0] == '.')) return 0.0f;
  float value = 0.0f;
  const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) return 0.0f;
  return negative ? -value : value;
}

}  // namespace

void TReplyParser::Clear() {
  count_ = 0;
  buffer_[0] = '\0';
}

void TReplyParser::DropFront(int bytes) {
  bytes = std::min(bytes, count_);
  std::memmove(buffer_, buffer_ + bytes, static_cast<std::size_t>(count_ - bytes));
  count_ -= bytes;
  buffer_[count_] = '\0';
}

void TReplyParser::MakeRoom(int bytes) {
  const int missing = count_ + std::min(bytes, kCapacity) - kCapacity;
  if (missing > 0) DropFront(missing);
}

void TReplyParser::Append(const char* data, int count) {
  if (count <= 0) return;
  if (count > kCapacity) {
    data += count - kCapacity;
    count = kCapacity;
  }
  MakeRoom(count);
  // Binary bytes must not end the text early.
  std::replace_copy(data, data + count, buffer_ + count_, '\0', ' ');
  count_ += count;
  buffer_[count_] = '\0';
}

bool TReplyParser::HasLineEnd() const { return Received().find(kLineEnd) != kNone; }

bool TReplyParser::TakeLine(core::FixedText<kBufferSize>& line) {
  const std::size_t end = Received().find(kLineEnd);
  if (end == kNone) return false;
  line.Assign(Received().substr(0, end));
  DropFront(static_cast<int>(end + kLineEnd.size()));
  return true;
}

void TReplyParser::HandleLine(std::string_view line, int position) {
  listener_.LogReply(std::string(line) + " <-");
  const std::size_t a = PositionOf(line, "A."), c = PositionOf(line, "C."), i = PositionOf(line, "I."),
                    b = PositionOf(line, "B."), hash = PositionOf(line, "#"), dollar = PositionOf(line, "$"),
                    ack = PositionOf(line, "!"), nak = PositionOf(line, "?");
  if (a + c + i + b + ack + nak == 0) return;
  // In a well-formed line exactly one prefix occurs; the sum is its position.
  const std::size_t digits = a + c + i + b + 1;  // 0-based: the character after the "."
  const std::int32_t number = digits < line.size() ? ReadDecimal(line.substr(digits)) : 0;
  // A number in our own range is no reply (noise, or a reply this program does
  // not know): it must never pass for one of the run's steps.
  const bool reply = IsReplyNumber(number);
  if ((i != 0 || b != 0) && reply) {
    replyCode_ = number;
    lastText_ = (lastText_ + 1) % replyTexts_.size();
    replyTexts_[lastText_] = hash != 0 ? line.substr(hash) : std::string_view();
    events_.PostMessage(replyCode_, replyTexts_[lastText_].c_str());
    // The EMF boot loader's version is how it answers the search's probe.
    if (number == RP_BOOT_LOADER_VERSION) listener_.AnswerFrom(position);
  }
  if (dollar != 0 && reply) {
    replyCode_ = number;
    lastValue_ = (lastValue_ + 1) % replyValues_.size();
    replyValues_[lastValue_] = ReadFloat(line.substr(dollar));
    events_.PostMessage(replyCode_, reinterpret_cast<std::uintptr_t>(&replyValues_[lastValue_]));
  }
  if (ack != 0) {
    events_.PostMessage(EV_ACKNOWLEDGE);
    listener_.AnswerFrom(position);
  }
  if (a != 0 || c != 0) events_.PostMessage(EV_REPLY_LINE);
  if (nak != 0) events_.PostMessage(EV_NEGATIVE);
}

TReplyParser::FrameResult TReplyParser::TakeFrame() {
  const std::string_view data = Received();
  for (const FrameVariant& frame : kFrames) {
    const std::size_t header = data.find(std::string_view(frame.header, 4));
    if (header == kNone) continue;
    const std::size_t stop = data.find(frame.stop, header + 4);
    if (stop == kNone) return FrameResult::Incomplete;
    // The text marks count only inside the frame, so that bytes behind it
    // never end up in the announced text.
    const std::string_view body = data.substr(header, stop - header);
    const std::size_t start = body.find(frame.textStart);
    const std::size_t end = start == kNone ? kNone : body.find(frame.textEnd, start + 1);
    frameText_ = end == kNone ? std::string_view() : body.substr(start + 1, end - start - 1);
    events_.PostMessage(EV_BOOT_FRAME, frameText_.c_str());
    std::memmove(buffer_ + header, buffer_ + stop + 1, static_cast<std::size_t>(count_) - stop - 1);
    count_ -= static_cast<int>(stop + 1 - header);
    buffer_[count_] = '\0';
    answerSeen_ = true;
    return FrameResult::Taken;
  }
  return FrameResult::None;
}

void TReplyParser::TakeLabAnswer() {
  const std::string_view data = Received();
  const char byte = data.find(kBslAcknowledge) != kNone ? kBslAcknowledge
                    : data.find(kLabQ) != kNone        ? kLabQ
                                                       : '\0';
  if (byte == '\0') return;
  Clear();
  events_.PostMessage(EV_LAB_ANSWER, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<signed char>(byte))));
  answerSeen_ = true;
}

bool TReplyParser::MayBeTakenForALabAnswer(std::string_view piece) {
  return !piece.ends_with(kLineEnd) && piece.find_first_of(std::string_view(kLabAnswerBytes, sizeof kLabAnswerBytes)) != kNone;
}

void TReplyParser::Feed(const char* data, int count, int position) {
  Append(data, count);
  core::FixedText<kBufferSize> line;
  for (;;) {
    if (TakeLine(line)) HandleLine(line, position);
    const FrameResult frame = TakeFrame();
    // A Lab answer is a lone byte; a "Q" inside a complete reply line still
    // waiting in the buffer is part of that reply and must not empty it.
    if (frame == FrameResult::None && !HasLineEnd()) TakeLabAnswer();
    if (answerSeen_) listener_.AnswerFrom(position);
    if (frame == FrameResult::Incomplete) return;
    if (!HasLineEnd() && frame != FrameResult::Taken) return;
  }
}

}  // namespace updater
