#pragma once
// Writes the instrument's state.json and flash.bin into a directory, each
// atomically (a temporary file in the same directory, then rename), so that a
// reader never sees half a file.
#include <string>
#include <vector>

#include "sim/instrument.h"

namespace sim {

/// state.json of the instrument as text (see sim/README.md for the fields).
std::string StateJson(const Instrument& instrument);

class DumpWriter {
 public:
  /// `directory` must exist (the program creates it).
  explicit DumpWriter(std::string directory) : directory_(std::move(directory)) {}

  /// Rewrites state.json, and flash.bin (plus sensor-flash.bin, the finished
  /// Lab data files and the complete WinCE files) when `flash` is true.
  /// Returns false (and leaves the old files) when writing failed.
  bool Write(const Instrument& instrument, bool flash) const;

 private:
  bool WriteFile(const std::string& name, const void* data, std::size_t size) const;
  bool WriteWinceFiles(const std::vector<WinceFile>& files) const;

  std::string directory_;
};

}  // namespace sim
