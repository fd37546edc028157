#include <iostream>

#include "app/window_entry.h"
#include "ui/console/console_app.h"

int RunWindow(int, char**, const updater::Installation&, bool) {
  std::cerr << "instrument-updater: this build has no window; run it with --console.\n";
  return console::kExitUsage;
}
