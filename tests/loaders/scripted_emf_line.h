#pragma once
// A scripted EMF instrument behind the loader's port, for the conversation
// tests. The firmware's and the boot loader's text replies reach the queue as
// the reply parser would post them; the XMODEM answers arrive as bytes with a
// data notification. It is strict like the instrument: the boot loader
// answers only at the rate the entry command announced (8N2), takes the
// one-letter commands only with the confirmation line when its version asks
// for it, and checks every block's number, complement and CRC with its own
// CRC routine. Each answer arrives as a read of its own, as answers that leave
// the instrument apart do; a block written while an answer is still unread
// runs ahead of the receiver and counts as a violation. After a transfer it
// is in its command mode: the version query, "u" for a new transfer (its
// memory erased), and any other line answered "?". Everything written to it
// is kept for the test to judge.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/events.h"
#include "loaders/loader_context.h"
#include "serial/v24_types.h"
#include "updater/event_codes.h"
#include "updater/update_form.h"

namespace loaders::test {

class ScriptedEmfLine final : public LoaderPort {
 public:
  explicit ScriptedEmfLine(core::TEvents& events) : events_(events) {}

  // --- the instrument -------------------------------------------------------
  std::string version = "1.05";        ///< reply 251
  bool confirmation = false;           ///< wants "5836\r\n" after each letter
  std::map<int, int> naks;             ///< block number (1-based, unwrapped) -> NAKs before its ACK
  int eotNaks = 0;                     ///< NAKs of the end of transmission
  bool silentBootLoader = false;       ///< never asks for the first block
  std::string crcReply;                ///< reply 1205 instead of the CRC it computed
  int wrongCrcReplies = 0;             ///< how many times crcReply is used
  int lostAckOfBlock = 0;              ///< this block's first ACK is lost
  bool crcBeforeTransfer = false;      ///< answers "A.1000" with a reply 1205 as well
  int deadFromBlock = 0;               ///< from this block on the line takes nothing
  bool pressOkDuringTransfer = false;  ///< the user presses OK when the transfer begins
  /// The receiver's repeated "C" crosses block 1: it arrives just before that block's ACK.
  bool crossingRequest = false;

  // --- what the test judges ---------------------------------------------------
  std::vector<std::string> commands;   ///< text lines and one-letter commands, in order
  std::vector<std::string> lines;      ///< every line setting the loader made ("115200 8N2")
  std::vector<std::uint8_t> received;  ///< the image bytes the accepted blocks carried
  std::map<int, int> sends;            ///< block number -> how often it was written
  int eots = 0;
  bool started = false;           ///< "r" reached the boot loader
  int violations = 0;             ///< bytes the boot loader could not take
  std::string line = "4800 8N1";  ///< the line as it is now

  int Write(const std::uint8_t* data, int length) override {
    if (dead_) return 0;
    if (length == 133 || (length == 1 && data[0] == 0x04 && phase_ == Phase::Receiving)) {
      Transfer(data, length);
    } else {
      for (int i = 0; i < length; ++i) Text(static_cast<char>(data[i]));
    }
    return dead_ ? 0 : length;
  }
  int WriteText(const char* text) override {
    return Write(reinterpret_cast<const std::uint8_t*>(text),
                 static_cast<int>(std::string(text).size()));
  }
  int Read(std::uint8_t* buffer, int size) override {
    if (rx_.empty()) return 0;
    std::vector<std::uint8_t>& answer = rx_.front();
    const int n = std::min(size, static_cast<int>(answer.size()));
    std::copy_n(answer.begin(), n, buffer);
    answer.erase(answer.begin(), answer.begin() + n);
    if (answer.empty()) rx_.pop_front();
    return n;
  }
  void ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits,
                          serial::ParitaetTag parity, bool) override {
    baud_ = baud;
    line = std::to_string(serial::BaudRateOf(baud)) + " 8" +
           (parity == serial::NoParity ? "N" : "P") + (stopBits == serial::S_2 ? "2" : "1");
    lines.push_back(line);
  }
  void ChangeHandShake(serial::HandshakeTag) override {}
  void SaveLastV24Parameter() override {
    saved_ = line;
    savedBaud_ = baud_;
  }
  void LoadLastV24Parameter() override {
    line = saved_;
    baud_ = savedBaud_;
  }
  serial::BaudTag LineBaud() const override { return baud_; }
  std::string Describe() const override { return "COM1 (scripted)"; }

  /// CRC-16/XMODEM, bit by bit, kept apart from the loader's routine.
  static std::uint16_t Crc(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
      for (int bit = 7; bit >= 0; --bit) {
        const bool top = ((crc >> 15) & 1) != ((data[i] >> bit) & 1);
        crc = (crc << 1) & 0xFFFF;
        if (top) crc ^= 0x1021;
      }
    }
    return static_cast<std::uint16_t>(crc);
  }

 private:
  enum class Phase { Firmware, BootLoader, Receiving };

  void Post(std::int32_t code, const std::string& text = "") {
    texts_.push_back(text);  // stays put until the test ends (a deque keeps addresses)
    events_.PostMessage(code, texts_.back().c_str());
  }
  void Answer(std::uint8_t byte) {
    rx_.push_back({byte});
    events_.PostMessage(updater::EV_SERIAL_DATA, 1);
  }
  bool AtAnnouncedRate() const { return line == announced_ + " 8N2"; }

  void Text(char c) {
    pending_ += c;
    if (phase_ == Phase::Firmware) {
      if (pending_.size() >= 2 && pending_.compare(pending_.size() - 2, 2, "\r\n") == 0)
        FirmwareLine();
      return;
    }
    BootLoaderInput();
  }

  void FirmwareLine() {
    const std::string text = pending_;
    pending_.clear();
    commands.push_back(text);
    if (text == "A.1000\r\n") {
      Post(updater::EV_ACKNOWLEDGE);
      if (crcBeforeTransfer) Post(updater::RP_IMAGE_CRC, "0000");
    } else if (text.rfind("A.125", 0) == 0 && text.size() == 10 && text[6] == '#') {
      announced_ = text[7] == '3' ? "9600" : text[7] == '7' ? "115200" : "?";
      Post(updater::EV_REPLY_LINE);
    } else if (text == "A.2051\r\n" && AtAnnouncedRate()) {
      phase_ = Phase::BootLoader;
      Post(updater::RP_BOOT_LOADER_VERSION, version);
    } else {
      ++violations;
    }
  }

  // A letter, then (when wanted) the confirmation line; or a text line.
  void BootLoaderInput() {
    if (!AtAnnouncedRate() || phase_ == Phase::Receiving) {
      ++violations;
      pending_.clear();
      return;
    }
    if (std::string("ucr").find(pending_[0]) == std::string::npos) return BootLoaderLine();
    const std::size_t need = confirmation ? 7 : 1;
    if (pending_.size() < need) return;
    const char letter = pending_[0];
    if (confirmation && pending_.substr(1) != "5836\r\n") ++violations;
    commands.push_back(pending_);
    pending_.clear();
    if (letter == 'u' && !silentBootLoader) {
      phase_ = Phase::Receiving;
      expected_ = 1;
      received.clear();
      if (pressOkDuringTransfer) events_.PostCommand(updater::CMD_START);
      Answer('C');
    } else if (letter == 'c') {
      char text[8];
      std::snprintf(text, sizeof text, "%04X", Crc(received.data(), received.size() - 6));
      Post(updater::RP_IMAGE_CRC, wrongCrcReplies-- > 0 ? crcReply : text);
    } else if (letter == 'r') {
      started = true;
    } else if (letter != 'u') {
      ++violations;
    }
  }

  void BootLoaderLine() {
    if (pending_.size() < 2 || pending_.compare(pending_.size() - 2, 2, "\r\n") != 0) return;
    const std::string text = pending_;
    pending_.clear();
    if (text == "\r\n") return;
    commands.push_back(text);
    if (text == "A.2051\r\n") {
      Post(updater::RP_BOOT_LOADER_VERSION, version);
    } else {
      Post(updater::EV_NEGATIVE);
    }
  }

  void Transfer(const std::uint8_t* data, int length) {
    if (!rx_.empty()) ++violations;  // sent before the answer to the last one was read
    if (length == 1) {
      ++eots;
      if (eotNaks > 0) {
        --eotNaks;
        Answer(0x15);
        return;
      }
      phase_ = Phase::BootLoader;
      Answer(0x06);
      return;
    }
    const int block = expected_ - (data[1] == static_cast<std::uint8_t>(expected_ - 1) ? 1 : 0);
    if (deadFromBlock != 0 && block >= deadFromBlock) {
      dead_ = true;
      return;
    }
    ++sends[block];
    const bool sound = data[0] == 0x01 && data[1] == static_cast<std::uint8_t>(block) &&
                       data[2] == 255 - data[1] &&
                       Crc(data + 3, 128) == (data[131] << 8 | data[132]) && AtAnnouncedRate();
    if (!sound) {
      ++violations;
      Answer(0x15);
      return;
    }
    if (block == expected_) {
      if (naks[block] > 0) {
        --naks[block];
        Answer(0x15);
        return;
      }
      received.insert(received.end(), data + 3, data + 131);
      ++expected_;
      if (crossingRequest && block == 1) Answer('C');
      if (block == lostAckOfBlock) {
        lostAckOfBlock = 0;
        return;
      }
    }
    Answer(0x06);  // a repeated block is acknowledged and dropped
  }

  core::TEvents& events_;
  Phase phase_ = Phase::Firmware;
  std::string pending_;
  std::string announced_;
  std::string saved_;
  serial::BaudTag baud_ = serial::B__9600;
  serial::BaudTag savedBaud_ = serial::B__9600;
  std::deque<std::string> texts_;
  std::deque<std::vector<std::uint8_t>> rx_;  // the answers not yet read
  int expected_ = 1;
  bool dead_ = false;
};

}  // namespace loaders::test
