#pragma once
// Helpers for the WinCE instrument's tests: a bench with the wince preset and
// the frames and headers of the file copy, written from the wire format.
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/wince_check.h"
#include "sim_bench.h"

namespace sim::test {

/// "D.<n>,<check>#<data>" with the check character of the data.
inline Bytes WinceFrame(const Bytes& data) {
  const std::string head = "D." + std::to_string(data.size()) + ",";
  Bytes frame = ToBytes(head);
  frame.push_back(WinceCheckCharacter(data));
  frame.push_back('#');
  frame.insert(frame.end(), data.begin(), data.end());
  return frame;
}

/// `size` bytes that differ from position to position and from seed to seed.
inline Bytes Pattern(std::size_t size, std::uint8_t seed = 0) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i)
    out[i] = static_cast<std::uint8_t>(i * 7 + seed + (i >> 8));
  return out;
}

/// The header of a file: "A.1201#NAME,DATE,SIZE\r\n".
inline std::string WinceHeader(std::string_view name, std::uint32_t dosDateTime, std::size_t size,
                               std::string_view command = "A.1201") {
  return std::string(command) + "#" + std::string(name) + "," + std::to_string(dosDateTime) + "," +
         std::to_string(size) + "\r\n";
}

inline std::string AsText(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

/// Copies `content` as one file in blocks of up to 2000 bytes; returns every answer.
inline std::string CopyFile(Bench& bench, std::string_view name, const Bytes& content,
                            std::uint32_t date = 0x5B8A6000) {
  std::string answers = bench.Text(WinceHeader(name, date, content.size()));
  for (std::size_t at = 0; at < content.size(); at += 2000) {
    const std::size_t length = std::min<std::size_t>(2000, content.size() - at);
    answers += AsText(
        bench.Exchange(WinceFrame(Bytes(content.begin() + at, content.begin() + at + length))));
  }
  return answers + bench.Text("A.1202\r\n");
}

}  // namespace sim::test
