#pragma once
// TempInstallation: a scratch folder for one test, removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace updater::testing {

class TempInstallation {
 public:
  TempInstallation() {
    std::string pattern = (std::filesystem::temp_directory_path() / "updater-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempInstallation() { std::filesystem::remove_all(path_); }
  TempInstallation(const TempInstallation&) = delete;
  TempInstallation& operator=(const TempInstallation&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  /// Writes `content` as it stands (line ends included) to `name`, creating folders.
  void Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(std::filesystem::path(path_) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace updater::testing
