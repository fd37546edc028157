#include "loaders/image_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace loaders {

std::string ResolvePath(const std::string& dir, std::string_view name) {
  if (dir.empty() || (!name.empty() && name.front() == '/')) return std::string(name);
  return dir + "/" + std::string(name);
}

TiTxtError ReadFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return errno == ENOENT ? TiTxtError::FileMissing : TiTxtError::FileUnreadable;
  // One byte more than allowed tells a file that is too large.
  bytes.resize(maxBytes + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  if (std::ferror(file.get())) return TiTxtError::FileUnreadable;
  return bytes.size() > maxBytes ? TiTxtError::FileTooLarge : TiTxtError::None;
}

TiTxtResult LoadImageFile(const std::string& path, std::size_t maxBytes, std::size_t maxBlocks, ImageReader reader,
                          TiTxtImage& image) {
  image = TiTxtImage();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {TiTxtError::FileMissing, 0};
  // One byte more than allowed tells a file that is too large.
  std::vector<char> buffer(maxBytes + 1);
  const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
  if (n > maxBytes) return {TiTxtError::FileTooLarge, 0};
  return reader(std::string_view(buffer.data(), n), maxBlocks, image);
}

}  // namespace loaders
