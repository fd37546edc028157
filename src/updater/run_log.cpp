#include "updater/run_log.h"

#include <chrono>
#include <ctime>

#include "core/text_encoding.h"

namespace updater {
namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

std::string TimeOfDay() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms));
  return text;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Text as the instrument's firmware speaks it: printable characters, line
// ends, and the XON/XOFF framing of some lines. Anything else is boot-loader data.
bool IsText(std::string_view bytes) {
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    const bool printable = b >= 0x20 && b < 0x7F;
    if (!printable && !IsLineEnd(c) && c != '\t' && c != kXon && c != kXoff) return false;
  }
  return true;
}

std::string_view TrimLineEnds(std::string_view text) {
  while (!text.empty() && IsLineEnd(text.back())) text.remove_suffix(1);
  return text;
}

char ParityLetter(std::uint8_t parity) {
  constexpr char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
  return parity < sizeof kLetters ? kLetters[parity] : '?';
}

const char* StopBitsText(std::uint8_t stopBits) {
  switch (stopBits) {
    case 0:
      return "1";
    case 1:
      return "1.5";
    default:
      return "2";
  }
}

// Boot-loader data as hexadecimal bytes, the first kHexShown of them.
std::string HexBytes(std::string_view bytes) {
  constexpr std::size_t kHexShown = 24;
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < kHexShown; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", static_cast<unsigned char>(bytes[i]));
    out += hex;
  }
  if (bytes.size() > kHexShown) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return core::Cp1252ToUtf8(out);
}

std::string DescribeLine(const platform::SerialLineSettings& s) {
  std::string text = std::to_string(s.baudRate) + " " + std::to_string(s.byteSize) +
                     ParityLetter(s.parity) + StopBitsText(s.stopBits);
  if (s.outxCtsFlow || s.rtsControl == platform::RtsControl::kHandshake) text += ", RTS/CTS";
  if (s.outX || s.inX) text += ", XON/XOFF";
  return text;
}

bool RunLog::OpenFile(const std::string& path) {
  file_.reset(std::fopen(path.c_str(), "w"));
  return file_ != nullptr;
}

bool RunLog::SaveTo(const std::string& path) const {
  std::unique_ptr<std::FILE, FileCloser> out(std::fopen(path.c_str(), "w"));
  if (!out) return false;
  for (const std::string& line : lines_) std::fprintf(out.get(), "%s\n", line.c_str());
  return std::fflush(out.get()) == 0;
}

void RunLog::Add(std::string_view text) {
  std::string line = TimeOfDay();
  line.append(" ").append(text);
  if (file_) {
    std::fprintf(file_.get(), "%s\n", line.c_str());
    std::fflush(file_.get());
  }
  lines_.push_back(std::move(line));
  if (lines_.size() > kMaxLines) lines_.pop_front();
}

void RunLog::Note(std::string_view text) { Add(text); }

void RunLog::Frame(std::string_view summary, std::size_t length) {
  claimedFrame_ = length;
  Add(std::string("frame ").append(summary));
}

void RunLog::Sent(std::string_view port, std::string_view bytes) {
  const bool framed = claimedFrame_ == bytes.size();
  claimedFrame_ = 0;
  if (framed) return;  // summarised already
  if (!IsText(bytes)) {
    Add(std::string(port).append(" => ").append(HexBytes(bytes)));
    return;
  }
  const std::string_view command = TrimLineEnds(bytes);
  Add(std::string(port).append(" -> ").append(Printable(command.empty() ? bytes : command)));
}

void RunLog::FlushPartial(std::string_view port) {
  std::string& line = partial_[std::string(port)];
  if (line.empty()) return;
  Add(std::string(port).append(" <- ").append(Printable(line)));
  line.clear();
}

void RunLog::Received(std::string_view port, std::string_view bytes) {
  if (!IsText(bytes)) {
    FlushPartial(port);
    Add(std::string(port).append(" <= ").append(HexBytes(bytes)));
    return;
  }
  for (char c : bytes) {
    if (IsLineEnd(c)) {
      FlushPartial(port);
    } else if (c != kXon && c != kXoff) {
      partial_[std::string(port)] += c;
    }
  }
}

void RunLog::LineSet(std::string_view port, const platform::SerialLineSettings& settings) {
  std::string text = DescribeLine(settings);
  std::string& last = settings_[std::string(port)];
  if (text == last) return;
  last = text;
  Add(std::string(port).append(" line ").append(text));
}

}  // namespace updater
