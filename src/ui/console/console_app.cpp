#include "ui/console/console_app.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/environment.h"
#include "platform/plain_message_loop.h"
#include "ui/console/interrupt_watcher.h"
#include "updater/app_texts.h"
#include "updater/bilingual_text.h"
#include "updater/port_table.h"
#include "updater/workflow/workflow.h"

namespace console {
namespace {

constexpr platform::Tick kIdleWaitMs = 60000;

constexpr updater::BiText<80> kStartAgain{{"Update erneut starten?", "Start the update again?"}};
constexpr updater::BiText<140> kItemNotAvailable{
    {"Dieser Men\xFC" "punkt ist nicht verf\xFC" "gbar: keine passende Firmware-Datei.",
     "This menu item is not available: no matching firmware file."}};

constexpr updater::MenuItem kModelItems[4] = {updater::MenuItem::Multi77x, updater::MenuItem::PH77x,
                                              updater::MenuItem::Oxi77x, updater::MenuItem::Cond77x};

// Starts the run as the options say: a model item or "Lab XXX" when given and
// enabled, OK otherwise. False when the chosen item is not available.
bool StartRun(const ConsoleOptions& options, updater::TUpdateForm& form, ConsoleView& view) {
  if (options.model >= 0) {
    const bool available = view.MenuVisible(updater::MenuItem::Programming) &&
                           view.MenuEnabled(kModelItems[options.model]);
    if (available) form.TG77xProgrammingClick(options.model);
    return available;
  }
  if (options.lab) {
    // The click disables the item, so whether it was there is asked first.
    const bool available = view.MenuEnabled(updater::MenuItem::LabXXX);
    if (available) form.LabXXXClick();
    return available;
  }
  form.OkBitBtnClick();
  return true;
}

// When no port of the map can be opened there is nothing to search on: says
// why for each port and returns true. The installation's language is not
// known yet, so the text is English, as the console's own messages are.
bool NoUsablePort(platform::MessageLoop& loop, ConsoleView& view) {
  updater::TPortTable ports(loop, [](const char*) {});
  ports.SetLanguage(updater::kEnglish);
  ports.Scan();
  if (ports.UsableCount() > 0) return false;
  view.AddLogLine(updater::texts::kNoUsablePort.Pick(updater::kEnglish));
  for (const std::string& reason : ports.UnusableReasons()) view.AddLogLine(reason);
  return true;
}

// Delivers messages and timers until the window closes or a run has ended.
void RunUntilRunEnds(platform::MessageLoop& loop, updater::TUpdateForm& form) {
  while (!form.Closed() && form.Outcome() == updater::RunOutcome::None) {
    loop.WaitForMessage(loop.GetClock().Now() + kIdleWaitMs);
    loop.ProcessPendingMessages();
  }
}

// Start-up, the run and, on a terminal, the runs after it; the exit code.
int RunSession(const ConsoleOptions& options, updater::TUpdateForm& form, ConsoleView& view) {
  if (!form.Start()) return kExitConfig;
  // A configured fixed port that cannot be opened leaves nothing to search on.
  if (form.Ports().OpenCount() == 0) {
    form.Close();
    return kExitNotFound;
  }
  if (options.debug) form.FormKeyUp(updater::HiddenKey::ToggleDebug);
  if (options.noVersionCheck) form.FormKeyUp(updater::HiddenKey::ToggleVersionCheck);
  form.SetIdentifyOnly(options.identify);
  if (!StartRun(options, form, view)) {
    view.AddLogLine(kItemNotAvailable.Pick(form.Language()));
    form.Close();
    return kExitConfig;
  }
  for (;;) {
    RunUntilRunEnds(form.Loop(), form);
    if (options.identify || form.Closed() || form.InterruptSignal() != 0 || !view.OkEnabled() ||
        !view.AskOnTerminal(kStartAgain.Pick(form.Language()))) {
      break;
    }
    form.SetOutcome(updater::RunOutcome::None);
    form.OkBitBtnClick();
  }
  const updater::RunOutcome outcome = form.Outcome();
  form.Close();
  if (form.InterruptSignal() != 0) return ExitCodeOfSignal(form.InterruptSignal());
  return ExitCodeOf(outcome);
}

}  // namespace

ExitCode ExitCodeOf(updater::RunOutcome outcome) {
  switch (outcome) {
    case updater::RunOutcome::Succeeded: return kExitSuccess;
    case updater::RunOutcome::NotProgrammed: return kExitNotProgrammed;
    case updater::RunOutcome::NotFound: return kExitNotFound;
    case updater::RunOutcome::Identified: return kExitSuccess;
    case updater::RunOutcome::ConfigError: return kExitConfig;
    case updater::RunOutcome::Failed:
    case updater::RunOutcome::Interrupted:
    case updater::RunOutcome::None: break;
  }
  return kExitFailed;
}

int ExitCodeOfSignal(int signal) { return kExitSignalBase + signal; }

bool ApplyInstallationOptions(const ConsoleOptions& options, updater::Installation& installation,
                              std::string& error) {
  if (!options.ports.empty()) {
    std::string list;
    for (const std::string& port : options.ports) list += (list.empty() ? "" : ",") + port;
    ::setenv("UPDATER_PORTS", list.c_str(), 1);
  }
  if (!options.dir.empty()) {
    if (::chdir(options.dir.c_str()) != 0) {
      error = "cannot change into the directory " + options.dir;
      return false;
    }
    installation.workDir = platform::CurrentDirectory();
    installation.programDir = installation.workDir;
    return true;
  }
  installation.workDir = platform::CurrentDirectory();
  installation.programDir = platform::ExecutableDirectory();
  return true;
}

int RunConsole(const ConsoleOptions& options, const updater::Installation& installation, ConsoleIo io) {
  // A session always runs the whole workflow; a program that registered no
  // programming back-ends gets runs that fail clearly when they reach programming.
  static const loaders::LoaderRegistry none;
  if (!updater::CurrentWorkflowMaker()) updater::SetWorkflowMaker(updater::WorkflowWith(none));
  platform::PlainMessageLoop loop;
  const InterruptWatcher interrupts(loop);
  ConsoleView view(io, options.answers, installation.workDir);
  if (NoUsablePort(loop, view)) return kExitNotFound;
  updater::TUpdateForm form(loop, view, installation);
  if (!options.logFile.empty() && !form.Trace().OpenFile(options.logFile)) {
    view.AddLogLine("Cannot write the log file " + options.logFile);
    return kExitUsage;
  }
  const int code = RunSession(options, form, view);
  form.Trace().Note("exit code " + std::to_string(code));
  return code;
}

}  // namespace console
