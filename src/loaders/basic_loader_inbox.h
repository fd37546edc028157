#pragma once
// BasicLoaderInbox: the text that the Basic-Loader has sent and that no reply
// has taken yet, and the matching of its reply lines.
//
// The Basic-Loader announces itself and its progress with fixed texts that
// arrive in any pieces. Each match takes, in table order, the first occurrence
// of every row's text out of the buffer and reports the row's event; a second
// copy of the same text stays for the next match. Text that matches nothing
// stays too, until the buffer is full: then the oldest bytes give way, so the
// newest bytes (the ones a reply can still complete) are always kept and
// matching never stops. The instrument's numbered reply 2 (a complete line
// with "I." or "B." and the number 2) aborts the download and is taken out as
// well. Pure logic; no I/O.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace loaders {

/// One row of the Basic-Loader's texts: what it sends and the event it raises.
struct BasicLoaderReply {
  std::string_view text;
  std::int32_t event;
};

/// The Basic-Loader's texts in the order they are matched.
extern const std::array<BasicLoaderReply, 16> kBasicLoaderReplies;

class BasicLoaderInbox {
 public:
  static constexpr std::size_t kCapacity = 4000;
  static constexpr std::size_t kReadSize = 150;  ///< bytes asked for by one read

  /// Room for one read at the end: when fewer than kReadSize bytes are free,
  /// the oldest bytes are dropped. Returns where to read to.
  std::uint8_t* MakeRoom();
  /// Adds `count` bytes that were read to the place MakeRoom returned.
  void Added(std::size_t count);
  /// Adds bytes (dropping the oldest ones that no longer fit).
  void Append(std::string_view bytes);

  /// Takes out the first occurrence of every row's text, in table order, and
  /// then every complete numbered reply 2, calling `raise` with the event of
  /// each (for reply 2: its number) in that order.
  void Match(const std::function<void(std::int32_t event)>& raise);

  std::string_view Text() const { return {reinterpret_cast<const char*>(buffer_.data()), count_}; }
  void Clear() { count_ = 0; }

 private:
  bool TakeOut(std::string_view text);
  bool TakeAbortReply();
  void Remove(std::size_t position, std::size_t length);
  void DropOldest(std::size_t bytes);

  std::array<std::uint8_t, kCapacity> buffer_{};
  std::size_t count_ = 0;
};

}  // namespace loaders
