#include "platform/environment.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace platform {

std::string ExpandEnvironment(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find('%', i);
    const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      out += value;
      i = close + 1;
    } else {
      out += '%';  // keep the marker; its closing '%' may open the next one
      i = open + 1;
    }
  }
  out.append(text.substr(i));
  return out;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

std::string ExecutableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return CurrentDirectory();
  std::string path(buffer, static_cast<std::size_t>(n));
  const std::size_t cut = path.rfind('/');
  return cut == 0 ? std::string("/") : path.substr(0, cut);
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentVariable(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  return ::unsetenv(name.c_str()) == 0;
}

}  // namespace platform
