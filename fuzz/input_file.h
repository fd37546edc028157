#pragma once
// For readers that take a file name: the fuzzer's input written to one
// scratch file of this process, rewritten for every input and removed at exit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

class InputFile {
 public:
  explicit InputFile(const std::string& name)
      : directory_(std::filesystem::temp_directory_path() /
                   ("updater-fuzz-" + std::to_string(::getpid()))),
        path_((std::filesystem::create_directories(directory_), directory_ / name).string()) {}
  ~InputFile() { std::filesystem::remove_all(directory_); }

  /// Writes the input; the path names it afterwards.
  const std::string& Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) std::abort();  // the target could test nothing
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path_;
  }
  const std::string& Path() const { return path_; }
  std::string Directory() const { return directory_.string(); }

 private:
  std::filesystem::path directory_;
  std::string path_;
};

}  // namespace fuzz
