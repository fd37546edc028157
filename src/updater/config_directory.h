#pragma once
// Where "Update.ini" lives when the tool is installed below the programs
// folder: a program folder there is often read-only for the user, so the
// settings go to the public mirror of the working directory instead.
#include <string>

namespace updater {

/// `workDir` with its "%ProgramFiles%" part replaced by "%PUBLIC%", created
/// with all missing parents; empty when the working directory is not below
/// "%ProgramFiles%" or a variable cannot be expanded (an expansion longer than
/// 79 characters counts as failed). On Linux neither variable is normally set,
/// so the result is empty and "Update.ini" is read from and written to the
/// working directory; setting both makes the mirror work as on the system the
/// installations come from.
std::string ConfigDirectory(const std::string& workDir);

}  // namespace updater
