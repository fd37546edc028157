#pragma once
// RunLog: what a run does on the line, for support: each command sent and
// each reply line received with its port, each boot-loader frame summarised,
// the line settings whenever they change, notes and the final result. Every
// line starts with the local time to the millisecond ("16:20:01.123").
//
// The lines are kept in memory (the newest kMaxLines) so that the window can
// save them on request, and, once a file is opened, also written to it as the
// run goes, one flushed line at a time: a crash leaves the log up to that
// point. Texts from the line are Windows-1252 and are written as UTF-8;
// control bytes appear as \r, \n or \xNN. Writes and reads that are not text
// (boot-loader data) are shown as hexadecimal bytes: "=>" sent, "<=" received;
// text commands are "->", reply lines "<-".
//
// Main thread only (the serial component calls its trace from the owner's
// thread).
#include <cstddef>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "serial/port_trace.h"

namespace updater {

class RunLog final : public serial::PortTrace {
 public:
  static constexpr std::size_t kMaxLines = 100000;

  /// Writes every further line also to `path` (created or emptied). False
  /// when it cannot be opened.
  bool OpenFile(const std::string& path);
  /// Writes the kept lines to `path`. False when it cannot be written.
  bool SaveTo(const std::string& path) const;

  /// A free line ("result: ...", a note of the front end).
  void Note(std::string_view text);
  /// A boot-loader frame of `length` bytes about to be written, with its
  /// summary; the raw bytes of that write are then not logged again.
  void Frame(std::string_view summary, std::size_t length);

  // serial::PortTrace
  void Sent(std::string_view port, std::string_view bytes) override;
  void Received(std::string_view port, std::string_view bytes) override;
  void LineSet(std::string_view port, const platform::SerialLineSettings& settings) override;

  const std::deque<std::string>& Lines() const { return lines_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  void Add(std::string_view text);
  void FlushPartial(std::string_view port);

  std::deque<std::string> lines_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::size_t claimedFrame_ = 0;                 ///< length of the write a Frame announced
  std::map<std::string, std::string> partial_;   ///< a reply line not yet ended, by port
  std::map<std::string, std::string> settings_;  ///< last logged line settings, by port
};

/// "9600 8E1, RTS/CTS": rate, data bits, parity letter, stop bits, and the
/// flow control when there is any.
std::string DescribeLine(const platform::SerialLineSettings& settings);

/// Bytes as the log shows them: printable characters as they are (UTF-8),
/// CR and LF as \r and \n, other bytes as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace updater
