#pragma once
// FixedText<N>: the one bounded 8-bit text type of the project.
//
// Holds at most N - 1 bytes plus the zero terminator, inline, in Windows-1252
// (the encoding of the configuration files and the instruments). Every
// operation that would exceed the capacity cuts the text instead; nothing here
// can write past the buffer. Convert to UTF-8 only at the user interface
// (Cp1252ToUtf8 in text_encoding.h).
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace core {

template <std::size_t N>
class FixedText {
  static_assert(N >= 1, "room for the terminator");

 public:
  static constexpr std::size_t kCapacity = N - 1;  ///< characters, terminator excluded

  FixedText() { buf_[0] = '\0'; }
  FixedText(std::string_view text) { Assign(text); }  // NOLINT: implicit on purpose
  FixedText(const char* text) { Assign(text); }       // NOLINT: implicit on purpose

  FixedText& operator=(std::string_view text) { return Assign(text); }
  FixedText& operator=(const char* text) { return Assign(text); }

  /// Replaces the content; cut to the capacity. Returns *this.
  FixedText& Assign(std::string_view text) {
    const std::size_t n = text.size() < kCapacity ? text.size() : kCapacity;
    if (n > 0) std::memmove(buf_, text.data(), n);  // memmove: text may point into buf_
    buf_[n] = '\0';
    size_ = n;
    return *this;
  }
  FixedText& Assign(const char* text) { return Assign(text ? std::string_view(text) : std::string_view()); }

  /// Appends as much of `text` as fits. Returns *this.
  FixedText& Append(std::string_view text) {
    const std::size_t room = kCapacity - size_;
    const std::size_t n = text.size() < room ? text.size() : room;
    if (n > 0) std::memmove(buf_ + size_, text.data(), n);
    size_ += n;
    buf_[size_] = '\0';
    return *this;
  }
  FixedText& Append(char c) { return Append(std::string_view(&c, 1)); }

  /// printf-style formatting into the buffer, cut to the capacity.
  FixedText& Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf_, N, format, args);
    va_end(args);
    size_ = n < 0 ? 0 : (static_cast<std::size_t>(n) < kCapacity ? static_cast<std::size_t>(n) : kCapacity);
    buf_[size_] = '\0';
    return *this;
  }

  /// Keeps the first `n` characters (no effect when the text is shorter).
  void Truncate(std::size_t n) {
    if (n < size_) {
      size_ = n;
      buf_[size_] = '\0';
    }
  }
  void Clear() { Truncate(0); }

  /// Re-reads the length after the raw buffer was written through Data()
  /// (by a C helper that keeps the terminator within N bytes).
  void Resync() {
    buf_[kCapacity] = '\0';
    size_ = std::strlen(buf_);
  }

  const char* c_str() const { return buf_; }
  char* Data() { return buf_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  static constexpr std::size_t BufferSize() { return N; }
  std::string_view view() const { return {buf_, size_}; }
  operator std::string_view() const { return view(); }  // NOLINT: implicit on purpose
  char operator[](std::size_t i) const { return i < size_ ? buf_[i] : '\0'; }

  friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

 private:
  char buf_[N];
  std::size_t size_ = 0;
};

}  // namespace core
