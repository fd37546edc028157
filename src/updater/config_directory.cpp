#include "updater/config_directory.h"

#include "platform/environment.h"
#include "platform/files.h"

namespace updater {
namespace {

constexpr std::size_t kExpansionLength = 79;  // the 80-byte buffer of the expansion

std::string Expand(const char* variable) {
  std::string value = platform::ExpandEnvironment(variable);
  return value.size() > kExpansionLength ? std::string() : value;
}

}  // namespace

std::string ConfigDirectory(const std::string& workDir) {
  const std::string programFiles = Expand("%ProgramFiles%");
  const std::size_t at = programFiles.empty() ? std::string::npos : workDir.find(programFiles);
  if (at == std::string::npos) return {};
  const std::string publicDir = Expand("%PUBLIC%");
  if (publicDir.empty() || publicDir.find("%PUBLIC%") != std::string::npos) return {};
  std::string mirror = workDir;
  mirror.replace(at, programFiles.size(), publicDir);
  platform::CreateDirectories(mirror);
  return mirror;
}

}  // namespace updater
