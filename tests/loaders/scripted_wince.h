#pragma once
// A WinCE instrument as the transfer sees it through the event queue: every
// command and frame that reaches the line is noted in order (line changes as
// "[...]" marks), and the instrument's answers arrive like serial data: a
// message of the loop whose handler posts them as the reply parser posts them
// and drains the queue, so they are taken inside whatever wait runs then. By
// default every command and frame is acknowledged at once, which is while the
// loader still pauses after a rate command.
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/events.h"
#include "loaders/loader_context.h"
#include "platform/message_loop.h"
#include "serial/v24_types.h"
#include "updater/event_codes.h"

namespace loaders::test {

class ScriptedWinCE final : public LoaderPort {
 public:
  struct Answer {
    std::int32_t code = updater::EV_ACKNOWLEDGE;
    std::string text;  ///< the numbered reply's text
  };
  using Script = std::function<std::vector<Answer>(const std::string& item, int index)>;

  struct Line {
    serial::BaudTag baud = serial::B__9600;
    serial::StopBitTag stopBits = serial::S_1;
    serial::ParitaetTag parity = serial::NoParity;
    bool operator==(const Line&) const = default;
  };

  /// Takes over the loop's message handler; `drain` empties the queue.
  ScriptedWinCE(core::TEvents& events, platform::MessageLoop& loop, std::function<void()> drain)
      : events_(events), loop_(loop), drain_(std::move(drain)) {
    loop_.SetMessageHandler([this](const platform::Message&) { Arrived(); });
  }

  /// Answers to the item at `index` of the wire (commands and frames only).
  Script script = [](const std::string&, int) { return std::vector<Answer>{Answer{}}; };
  /// Acknowledges a rate command only when the port has followed it.
  bool acknowledgesAtNewRate = false;
  /// From this wire index on, the line takes nothing (the adapter is gone).
  int unpluggedAt = -1;

  std::vector<std::string> wire;
  Line line;

  int Write(const std::uint8_t* data, int length) override {
    return Take(std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)));
  }
  int WriteText(const char* text) override { return Take(text); }
  int Read(std::uint8_t*, int) override { return 0; }
  void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity,
                          bool) override {
    line = {baud, stopBits, parity};
    wire.push_back("[line " + std::to_string(serial::BaudRateOf(baud)) + (stopBits == serial::S_2 ? " 8N2]" : "]"));
    LineFollowed();
  }
  void ChangeHandShake(serial::HandshakeTag) override { wire.push_back("[handshake]"); }
  void SaveLastV24Parameter() override { saved_ = line; }
  void LoadLastV24Parameter() override {
    line = saved_;
    wire.push_back("[line back]");
    LineFollowed();
  }
  serial::BaudTag LineBaud() const override { return line.baud; }
  std::string Describe() const override { return "COM1 (scripted)"; }

  /// The items of the wire that are not line marks.
  std::vector<std::string> Commands() const {
    std::vector<std::string> items;
    for (const std::string& item : wire) {
      if (item.front() != '[') items.push_back(item);
    }
    return items;
  }

 private:
  int Take(const std::string& item) {
    const int index = static_cast<int>(Commands().size());
    if (unpluggedAt >= 0 && index >= unpluggedAt) return 0;
    wire.push_back(item);
    for (const Answer& answer : script(item, index)) {
      if (acknowledgesAtNewRate && item.starts_with("A.1300#") && answer.code == updater::EV_ACKNOWLEDGE) {
        pendingAtNewRate_ = true;
      } else {
        Send(answer);
      }
    }
    return static_cast<int>(item.size());
  }

  void LineFollowed() {
    if (!pendingAtNewRate_) return;
    pendingAtNewRate_ = false;
    Send(Answer{});
  }

  void Send(const Answer& answer) {
    onTheWay_.push_back(answer);
    loop_.Post(platform::Message{1, 1});
  }

  void Arrived() {
    while (!onTheWay_.empty()) {
      texts_.push_back(onTheWay_.front().text);
      events_.PostMessage(onTheWay_.front().code, texts_.back().c_str());
      onTheWay_.pop_front();
    }
    drain_();
  }

  core::TEvents& events_;
  platform::MessageLoop& loop_;
  std::function<void()> drain_;
  std::deque<Answer> onTheWay_;
  Line saved_;
  bool pendingAtNewRate_ = false;
  std::deque<std::string> texts_;
};

}  // namespace loaders::test
