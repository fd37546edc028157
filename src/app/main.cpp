// instrument-updater: the firmware updater, in its window or, with --console,
// in the terminal; see --help for the options and exit codes.
#include <signal.h>
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/window_entry.h"
#include "loaders/back_ends.h"
#include "ui/console/console_app.h"
#include "ui/console/port_listing.h"
#include "updater/workflow/workflow.h"

int main(int argc, char** argv) {
  // An ignored SIGCHLD, inherited from whoever started us, would let the
  // system collect the programming tools itself, and their exit codes with them.
  ::signal(SIGCHLD, SIG_DFL);
  const console::ParsedCommandLine parsed = console::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::cerr << "instrument-updater: " << parsed.error << "\nTry 'instrument-updater --help'.\n";
    return console::kExitUsage;
  }
  const console::ConsoleOptions& options = parsed.options;
  if (options.help) {
    std::cout << console::HelpText();
    return console::kExitSuccess;
  }
  if (options.version) {
    std::cout << console::VersionText();
    return console::kExitSuccess;
  }
  updater::Installation installation;
  std::string error;
  if (!console::ApplyInstallationOptions(options, installation, error)) {
    std::cerr << "instrument-updater: " << error << "\n";
    return console::kExitUsage;
  }
  if (options.listPorts) {
    console::ListPorts(std::cout);
    return console::kExitSuccess;
  }
  // The programming back-ends of this build; a family without one fails with
  // a clear message when a run reaches it.
  const loaders::LoaderRegistry backEnds = loaders::ProgramBackEnds();
  updater::SetWorkflowMaker(updater::WorkflowWith(backEnds));
  if (!options.console) return RunWindow(argc, argv, installation, !options.dir.empty());
  try {
    return console::RunConsole(options, installation,
                               {std::cout, std::cin, ::isatty(STDOUT_FILENO) == 1, ::isatty(STDIN_FILENO) == 1});
  } catch (const std::exception& error) {
    // What escaped the run ends the program, but never without a word.
    std::cerr << "instrument-updater: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "instrument-updater: unknown exception\n";
  }
  return console::kExitInternal;
}
