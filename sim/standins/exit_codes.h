#pragma once
// Exit codes of the stand-in programming tools. The updater starts a tool once
// more on 1 and takes any other nonzero code as failure.
namespace standin {

enum ExitCode : int {
  kSuccess = 0,
  kTryAgain = 1,  ///< the boot loader did not answer (not ready yet, line lost)
  kUsage = 2,     ///< the command line is not what the tool takes
  kBadFile = 3,   ///< the firmware file cannot be read, is malformed or does not fit the instrument
  kNoPort = 4,    ///< the COM number has no device in UPDATER_PORTS, or it cannot be opened
  kRefused = 5,   ///< the boot loader refused a command, or the read-back differs
};

}  // namespace standin
