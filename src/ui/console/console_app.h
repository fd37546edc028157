#pragma once
// The console front end: runs the update logic in a terminal.
#include <string>

#include "ui/console/console_options.h"
#include "ui/console/console_view.h"
#include "updater/update_form.h"

namespace console {

/// Exit codes of the console program.
enum ExitCode : int {
  kExitSuccess = 0,        ///< the update finished successfully
  kExitFailed = 1,         ///< programming failed or was aborted
  kExitNotProgrammed = 2,  ///< not programmed by decision
  kExitNotFound = 3,       ///< no instrument found
  kExitConfig = 4,         ///< configuration error
  kExitUsage = 5,          ///< usage error
  kExitInternal = 6,       ///< an exception escaped the run (the message was shown)
  kExitSignalBase = 128,   ///< plus the signal's number: the user interrupted the run
};

/// The exit code of how the last run ended; a run that never ended counts as
/// failed.
ExitCode ExitCodeOf(updater::RunOutcome outcome);

/// The exit code of a session that signal `signal` interrupted: 128 + its
/// number, as a shell reports a program that the signal ended (130 Ctrl+C).
int ExitCodeOfSignal(int signal);

/// Runs one console session: start-up, the run (OK, or the model menu item
/// or "Lab XXX" of the options), and, where the window would wait for the next
/// OK, the question whether to start again (only on a terminal). `--dir` must
/// already be applied to the process (see ApplyInstallationOptions). Returns
/// the exit code.
int RunConsole(const ConsoleOptions& options, const updater::Installation& installation, ConsoleIo io);

/// Applies --dir (changes into DIR, which becomes both the working and the
/// program directory) and --ports (UPDATER_PORTS). On failure writes the reason
/// to `error` and returns false.
bool ApplyInstallationOptions(const ConsoleOptions& options, updater::Installation& installation,
                              std::string& error);

}  // namespace console
