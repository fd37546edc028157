#pragma once
// TReplyParser: turns the bytes that the instrument sends into events.
//
// One receive buffer serves all ports (the search empties it at every baud
// step). Bytes are appended, zero bytes become blanks, then complete lines
// (ended by CR LF) are classified by their marks and boot-loader frames and
// Lab answer bytes are recognised. Every event is posted to the queue with
// PostMessage (EVT_MSG); the caller drains the queue afterwards.
//
// Event data points into this object's buffers. Reply texts and values are
// kept in a ring of kReplySlots slots, so that two numbered replies delivered
// by one read (or by reads nested in a handler's wait) each keep their own
// text until the queue has been drained; the frame text has one buffer.
// Main thread only.
#include <array>
#include <cstdint>
#include <string_view>

#include "core/events.h"
#include "core/fixed_text.h"
#include "updater/event_codes.h"

namespace updater {


/// What the parser reports back to its owner.
class ReplyListener {
 public:
  virtual ~ReplyListener() = default;
  /// The command log: every received line followed by " <-".
  virtual void LogReply(std::string_view text) = 0;
  /// The port at `position` gave an acknowledgement, frame or Lab answer; the
  /// owner takes it as the found port unless it already has one.
  virtual void AnswerFrom(int position) = 0;
};

class TReplyParser {
 public:
  static constexpr int kBufferSize = 1000;         ///< including the zero byte
  static constexpr int kCapacity = kBufferSize - 1;
  static constexpr int kReadSize = 250;            ///< bytes asked for by one read
  static constexpr int kReplySlots = 32;           ///< reply texts and values kept

  TReplyParser(core::TEvents& events, ReplyListener& listener) : events_(events), listener_(listener) {}

  /// Makes room for `bytes` more bytes. When the buffer has filled up without
  /// a complete line (noise, or a peer that never ends its line), the oldest
  /// bytes are dropped: the newest bytes are the ones an answer can still
  /// complete.
  void MakeRoom(int bytes);

  /// True when the parser could take `piece` for a lone Lab answer byte: it
  /// holds a "Q" or a boot-loader acknowledgement with no line end behind it.
  /// Only the quiet after such a piece tells whether more of a reply follows,
  /// so it must be fed together with whatever comes right after it.
  static bool MayBeTakenForALabAnswer(std::string_view piece);

  /// Appends `count` bytes read from the port at table `position` (bytes that
  /// do not fit push out the oldest ones) and handles what they complete.
  void Feed(const char* data, int count, int position);

  /// Empties the buffer (received count 0).
  void Clear();
  int ReceivedCount() const { return count_; }
  std::string_view Received() const { return {buffer_, static_cast<std::size_t>(count_)}; }

  /// Set when a boot-loader frame or a Lab answer byte was recognised; only
  /// ClearAnswerSeen (the run start) clears it.
  bool AnswerSeen() const { return answerSeen_; }
  void ClearAnswerSeen() { answerSeen_ = false; }

  /// The last numbered or value reply.
  std::int32_t ReplyCode() const { return replyCode_; }
  const char* ReplyText() const { return replyTexts_[lastText_].c_str(); }
  float ReplyValue() const { return replyValues_[lastValue_]; }
  const char* FrameText() const { return frameText_.c_str(); }

 private:
  enum class FrameResult { None, Taken, Incomplete };

  void Append(const char* data, int count);
  void DropFront(int bytes);
  bool HasLineEnd() const;
  bool TakeLine(core::FixedText<kBufferSize>& line);
  void HandleLine(std::string_view line, int position);
  FrameResult TakeFrame();
  void TakeLabAnswer();

  core::TEvents& events_;
  ReplyListener& listener_;
  char buffer_[kBufferSize] = {};
  int count_ = 0;
  bool answerSeen_ = false;
  std::int32_t replyCode_ = 0;
  std::array<core::FixedText<256>, kReplySlots> replyTexts_;
  std::array<float, kReplySlots> replyValues_{};
  std::size_t lastText_ = 0;
  std::size_t lastValue_ = 0;
  core::FixedText<100> frameText_;
};

}  // namespace updater
