#pragma once
// TEvents: the application's one event queue and its subscriber list.
//
// Producers append 16-byte records; the owner drains the queue (TEventDrain)
// and every record is broadcast to the subscribers, newest subscriber first. A
// subscriber consumes an event by returning the empty event. Main thread only;
// callbacks may post, subscribe and unsubscribe while a broadcast runs.
//
// Capacity: the ring holds 50 records. Producers post a few events and drain at
// once, so it is never expected to fill; if it does, further records go to an
// overflow list that is drained after the ring, in posting order. No event is
// ever overwritten or refused; OverflowCount() tells how often this happened.
#include <cstdint>
#include <deque>
#include <memory>

namespace core {

enum EventKind : std::int16_t {
  EVT_NONE = 0,
  EVT_CMD_ALT = 2,
  EVT_CMD = 16,
  EVT_MSG = 256,
  EVT_TIMER = 512,
};

/// One event, copied by value. Kind and Param are 16-bit so that the record,
/// with a pointer-sized Data, stays 16 bytes on 64-bit machines. Data carries a
/// pointer to zero-terminated 8-bit text (not copied: it must stay valid until
/// the event has been broadcast) or a small integer (the port number of 10000).
struct TEventRecord {
  std::int16_t Kind = EVT_NONE;
  std::int16_t Param = 0;
  std::int32_t Code = 0;
  std::uintptr_t Data = 0;

  bool Empty() const { return Kind == EVT_NONE; }
  const char* Text() const { return reinterpret_cast<const char*>(Data); }
  friend bool operator==(const TEventRecord&, const TEventRecord&) = default;
};
static_assert(sizeof(TEventRecord) == 16, "the ring stores 16-byte records");

class TEvents;

/// A subscriber: called with its object, the queue and the event; returns the
/// event for the earlier subscribers, or the empty event to consume it.
using EventCallback = TEventRecord (*)(void* object, TEvents& queue, TEventRecord event);

class TEvents {
 public:
  static constexpr std::int32_t kRingBytes = 800;
  static constexpr std::int32_t kRecordBytes = sizeof(TEventRecord);

  TEvents();
  ~TEvents();
  TEvents(const TEvents&) = delete;
  TEvents& operator=(const TEvents&) = delete;

  /// Appends (EVT_CMD, or EVT_CMD_ALT when alt, code). Always posts.
  void PostCommand(std::int32_t code, bool alt = false);
  /// Appends (EVT_MSG, code, data); nothing when code is 0.
  void PostMessage(std::int32_t code, std::uintptr_t data = 0);
  void PostMessage(std::int32_t code, const char* text) { PostMessage(code, reinterpret_cast<std::uintptr_t>(text)); }
  /// Appends (EVT_TIMER, code); nothing when code is 0.
  void PostTimer(std::int32_t code);

  /// Removes and returns the oldest pending record; the empty event when none.
  TEventRecord FetchEvent();
  static TEventRecord ClearEvent(const TEventRecord&) { return {}; }

  /// Appends the pair unless it is already subscribed. Always true.
  bool Subscribe(EventCallback function, void* object);
  /// Removes the pair; false when it was not subscribed.
  bool Unsubscribe(EventCallback function, void* object);
  /// Hands the event to the subscribers as they stand at the call, newest
  /// first, each seeing what the later one returned; returns what the oldest
  /// returned (the event itself when nobody is subscribed).
  TEventRecord Broadcast(TEventRecord event);

  std::int32_t PendingCount() const;
  std::uint32_t OverflowCount() const { return overflowCount_; }
  std::int32_t WritePosition() const { return write_; }
  std::int32_t ReadPosition() const { return read_; }

 private:
  struct Node;

  void Append(const TEventRecord& record);
  std::int32_t RingPending() const;
  TEventRecord BroadcastFrom(const Node* node, const TEventRecord& event);

  std::unique_ptr<Node> head_;

  // The byte ring: positions are byte offsets; both sides wrap lazily.
  std::int32_t write_ = 0;
  std::int32_t read_ = 0;
  bool wrapped_ = false;
  alignas(TEventRecord) unsigned char ring_[kRingBytes];

  std::deque<TEventRecord> overflow_;
  std::uint32_t overflowCount_ = 0;
};

}  // namespace core
