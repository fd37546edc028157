#include "core/events.h"

#include <cstring>

namespace core {

struct TEvents::Node {
  EventCallback function;
  void* object;
  std::unique_ptr<Node> next;
};

TEvents::TEvents() { std::memset(ring_, 0, sizeof ring_); }

TEvents::~TEvents() {
  // Unlink iteratively so a long list cannot exhaust the stack.
  while (head_) head_ = std::move(head_->next);
}

void TEvents::PostCommand(std::int32_t code, bool alt) {
  TEventRecord record;
  record.Kind = alt ? EVT_CMD_ALT : EVT_CMD;
  record.Code = code;
  Append(record);
}

void TEvents::PostMessage(std::int32_t code, std::uintptr_t data) {
  if (code == 0) return;
  TEventRecord record;
  record.Kind = EVT_MSG;
  record.Code = code;
  record.Data = data;
  Append(record);
}

void TEvents::PostTimer(std::int32_t code) {
  if (code == 0) return;
  TEventRecord record;
  record.Kind = EVT_TIMER;
  record.Code = code;
  Append(record);
}

std::int32_t TEvents::RingPending() const {
  const std::int32_t bytes = wrapped_ ? (kRingBytes - read_) + write_ : write_ - read_;
  return bytes / kRecordBytes;
}

std::int32_t TEvents::PendingCount() const {
  return RingPending() + static_cast<std::int32_t>(overflow_.size());
}

void TEvents::Append(const TEventRecord& record) {
  // Once anything waits in the overflow list, later records queue behind it,
  // so the posting order survives.
  if (!overflow_.empty() || RingPending() == kRingBytes / kRecordBytes) {
    overflow_.push_back(record);
    ++overflowCount_;
    return;
  }
  if (write_ + kRecordBytes > kRingBytes) {
    wrapped_ = true;
    write_ = 0;
  }
  std::memcpy(ring_ + write_, &record, kRecordBytes);
  write_ += kRecordBytes;
}

TEventRecord TEvents::FetchEvent() {
  TEventRecord result;
  if (read_ < write_ || wrapped_) {
    if (read_ + kRecordBytes > kRingBytes) {
      wrapped_ = false;
      read_ = 0;
    }
    std::memcpy(&result, ring_ + read_, kRecordBytes);
    read_ += kRecordBytes;
    return result;
  }
  if (!overflow_.empty()) {
    result = overflow_.front();
    overflow_.pop_front();
  }
  return result;
}

bool TEvents::Subscribe(EventCallback function, void* object) {
  std::unique_ptr<Node>* link = &head_;
  while (*link) {
    if ((*link)->function == function && (*link)->object == object) return true;
    link = &(*link)->next;
  }
  *link = std::unique_ptr<Node>(new (std::nothrow) Node{function, object, nullptr});
  return true;
}

bool TEvents::Unsubscribe(EventCallback function, void* object) {
  for (std::unique_ptr<Node>* link = &head_; *link; link = &(*link)->next) {
    if ((*link)->function == function && (*link)->object == object) {
      *link = std::move((*link)->next);
      return true;
    }
  }
  return false;
}

TEventRecord TEvents::Broadcast(TEventRecord event) { return BroadcastFrom(head_.get(), event); }

// Descends to the last node first, copying each node's pair into this frame
// before any callback runs; the calls then happen on the way back, newest
// subscriber first. Changes to the list during the calls therefore only take
// effect from the next broadcast.
TEventRecord TEvents::BroadcastFrom(const Node* node, const TEventRecord& event) {
  if (node == nullptr) return event;
  const EventCallback function = node->function;
  void* const object = node->object;
  const TEventRecord later = BroadcastFrom(node->next.get(), event);
  return function(object, *this, later);
}

}  // namespace core
