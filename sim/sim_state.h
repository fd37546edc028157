#pragma once
// What the simulated instrument has seen and done, as the dump reports it.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/wince_file.h"

namespace sim {

struct SimCounters {
  std::uint32_t frames = 0;         ///< boot-loader frames with a valid checksum, sound WinCE data frames
  std::uint32_t acks = 0;           ///< acknowledgements sent
  std::uint32_t naks = 0;           ///< negative acknowledgements and error replies sent
  std::uint32_t erases = 0;         ///< segment and mass erases carried out
  std::uint32_t programs = 0;       ///< data blocks written to flash or RAM
  std::uint32_t badFrames = 0;      ///< frames refused for checksum, length or header
  std::uint32_t garbledBytes = 0;   ///< bytes received at a rate the instrument did not expect
  std::uint32_t faults = 0;         ///< planned faults that fired (--fault)
  std::uint64_t flashMicros = 0;    ///< time the flash was busy programming and erasing (logical)
};

/// A Lab data file as the instrument received it.
struct LabFile {
  std::string name;                ///< as announced by "A.12000#"
  std::vector<std::uint8_t> data;  ///< the bytes of its "A.12010#" blocks
  bool complete = false;           ///< "A.12030" ended it
};

struct SimState {
  bool firmwareRunning = true;
  std::string firmwareVersion;       ///< as the running firmware reports it
  std::string secondVersion;         ///< version of the second component
  std::string clock;                 ///< last "A.1600#" value as received
  std::string airPressure;           ///< last "A.6162#" value as received
  std::int64_t loadPc = -1;          ///< last address of a load-PC command; -1 none yet
  int bootLoaderComponent = -1;      ///< component whose boot loader has the line
  std::vector<std::string> commands; ///< text commands received, without their line end
  std::vector<LabFile> labFiles;     ///< in the order they were announced
  std::vector<WinceFile> winceFiles; ///< files copied to a WinCE instrument, in the order of their headers
  std::string winceApplication;      ///< WinCE: version of the application copied last; empty: the flash's
  std::string winceStartup;          ///< WinCE: version of its start-up program (answer to "A.2100")
  SimCounters counters;
};

}  // namespace sim
