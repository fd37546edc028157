#pragma once
// A LoaderPort in front of another that notes the erase commands a loader
// sends, as absolute addresses (the classic memory offset included), and
// counts the 5xx password frames.
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "serial/com_port.h"
#include "serial/v24_types.h"

#include "loaders/loader_context.h"

namespace loaders::test {

class RecordingPort final : public LoaderPort {
 public:
  RecordingPort(LoaderPort& inner, bool five) : inner_(inner), five_(five) {}

  using Clock = std::chrono::steady_clock;

  std::vector<std::uint32_t> erases;
  int passwords = 0;  ///< 5xx password frames sent
  int bootLoaderLines = 0;  ///< times the line was set to the boot loader's 9600 8E1
  std::function<void()> firstBinaryWrite;  ///< told when the loader's first binary write goes out
  // The boot-loader phase: from the first binary write (of at least
  // `phaseFromBytes` bytes) to the last byte read, and the time its bytes
  // need on the wire at the line's rate.
  std::size_t phaseFromBytes = 0;
  Clock::time_point firstWrite{}, lastWrite{}, lastRead{};
  double wireOut = 0, wireIn = 0;  ///< seconds of the loader's bytes and of the replies in the phase

  /// From this binary write on (1 = the first), nothing is taken any more: the
  /// adapter was unplugged. 0: never.
  int unplugAtWrite = 0;
  int binaryWrites = 0;
  Clock::time_point unplugged{};  ///< when the first write was refused

  int Write(const std::uint8_t* data, int length) override {
    if (Unplugged(++binaryWrites)) return serial::TComPort::kShortWrite;
    if (binaryWrites == 1 && firstBinaryWrite) firstBinaryWrite();
    Note(data, length);
    if (firstWrite == Clock::time_point{} && static_cast<std::size_t>(length) >= phaseFromBytes) {
      firstWrite = Clock::now();
    }
    if (InPhase()) {
      lastWrite = Clock::now();
      wireOut += WireSeconds(length);
    }
    return inner_.Write(data, length);
  }
  int WriteText(const char* text) override {
    return Unplugged(binaryWrites) ? serial::TComPort::kShortWrite : inner_.WriteText(text);
  }
  int Read(std::uint8_t* buffer, int size) override {
    const int n = inner_.Read(buffer, size);
    if (n > 0 && InPhase()) {
      lastRead = Clock::now();
      wireIn += WireSeconds(n);
    }
    return n;
  }
  void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                          bool keinNull) override {
    bitRate_ = serial::BaudRateOf(baud);
    if (baud == serial::B__9600 && parity == serial::Even) ++bootLoaderLines;
    charBits_ = 1 + 8 + (parity == serial::NoParity ? 0 : 1) + (stopBits == serial::S_2 ? 2 : 1);
    inner_.ChangeV24Parameter(baud, stopBits, parity, keinNull);
  }
  void ChangeHandShake(serial::HandshakeTag handshake) override { inner_.ChangeHandShake(handshake); }
  void SaveLastV24Parameter() override { inner_.SaveLastV24Parameter(); }
  void LoadLastV24Parameter() override { inner_.LoadLastV24Parameter(); }
  serial::BaudTag LineBaud() const override { return inner_.LineBaud(); }
  std::string Describe() const override { return inner_.Describe(); }

 private:
  bool InPhase() const { return firstWrite != Clock::time_point{}; }
  bool Unplugged(int writes) {
    if (unplugAtWrite == 0 || writes < unplugAtWrite) return false;
    if (unplugged == Clock::time_point{}) unplugged = Clock::now();
    return true;
  }

  void Note(const std::uint8_t* f, int length) {
    if (five_) {
      if (length >= 7 && f[3] == 0x12) erases.push_back(f[4] | f[5] << 8 | f[6] << 16);
      if (length >= 4 && f[3] == 0x11) ++passwords;
      return;
    }
    if (length < 8) return;
    if (f[1] == 0x21) offset_ = f[6];
    if (f[1] == 0x16) erases.push_back((f[4] | f[5] << 8) + offset_ * 0x10000u);
  }

  double WireSeconds(int bytes) const {
    return bitRate_ > 0 ? static_cast<double>(bytes) * charBits_ / bitRate_ : 0.0;
  }

  LoaderPort& inner_;
  bool five_;
  std::uint32_t bitRate_ = 0;
  int charBits_ = 10;
  std::uint32_t offset_ = 0;
};

}  // namespace loaders::test
