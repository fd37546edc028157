#pragma once
// What the start-up needs to know about the process's surroundings.
// Thread-safe (except SetEnvironmentVariable), never throws.
#include <string>
#include <string_view>

namespace platform {

/// Replaces every "%NAME%" whose variable is set in the environment by its
/// value; markers of unset variables stay as they are (as the Windows
/// expansion does). Returns the expanded text.
std::string ExpandEnvironment(std::string_view text);

/// The working directory, or empty when it cannot be determined.
std::string CurrentDirectory();

/// The directory of the running executable (from /proc/self/exe), or the
/// working directory when it cannot be determined.
std::string ExecutableDirectory();

/// Sets (or replaces) a variable of this process's environment, for what
/// runs in the process itself, such as a loaded library that reads
/// UPDATER_PORTS. Not safe while another thread reads the environment.
/// False when the name is empty or contains '='.
bool SetEnvironmentVariable(const std::string& name, const std::string& value);

/// Removes a variable from this process's environment, with the same limits.
bool UnsetEnvironmentVariable(const std::string& name);

}  // namespace platform
