#include "loaders/tool_command.h"

#include <unistd.h>

#include <filesystem>

#include "platform/environment.h"
#include "platform/files.h"

namespace loaders {
namespace {

constexpr int kHighestPic32Com = 9;

bool IsProgram(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

}  // namespace

std::vector<std::string> HexLoadArguments(const std::string& file, int comNumber,
                                          bool keepsBootLoaderRate) {
  return {file, "-com" + std::to_string(comNumber),
          std::string("-baudrate") + (keepsBootLoaderRate ? "9600" : "38400"), "-auto", "-exit"};
}

std::optional<std::vector<std::string>> Pic32Arguments(const std::string& file, int portIndex) {
  if (portIndex < 0 || portIndex + 1 > kHighestPic32Com) return std::nullopt;
  return std::vector<std::string>{
      "-f" + file, std::string("-c") + static_cast<char>('1' + portIndex), "-b7", "-a"};
}

std::string FindTool(const std::vector<std::string>& folders, const std::string& name) {
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    for (const std::string& candidate : {name, name + ".exe"}) {
      const std::string path = platform::ResolveCaseless(folder, candidate);
      if (IsProgram(path)) return path;
    }
  }
  const std::string first = folders.empty() ? std::string(".") : folders.front();
  return (std::filesystem::path(first) / name).string();
}

std::string FileForTool(const std::string& workDir, const std::string& file) {
  const bool asIs = workDir.empty() || SameFolder(workDir, platform::CurrentDirectory());
  return platform::ResolveCaseless(asIs ? std::string() : workDir, file);
}

}  // namespace loaders
