#pragma once
// The window front end, when this build has one.
#include "updater/update_form.h"

/// Runs the main window until it is closed; returns the program's exit code
/// (5 when no window can be shown, with a pointer to --console). Without
/// `dirGiven` the window looks for its installation itself.
int RunWindow(int argc, char** argv, const updater::Installation& installation, bool dirGiven);
