#include "loaders/image_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace loaders {

TiTxtError ReadFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return errno == ENOENT ? TiTxtError::FileMissing : TiTxtError::FileUnreadable;
  // One byte more than allowed tells a file that is too large.
  bytes.resize(maxBytes + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  if (std::ferror(file.get())) return TiTxtError::FileUnreadable;
  if (bytes.empty()) return TiTxtError::FileEmpty;
  return bytes.size() > maxBytes ? TiTxtError::FileTooLarge : TiTxtError::None;
}

TiTxtResult LoadImageFile(const std::string& path, std::size_t maxBytes, std::size_t maxBlocks, ImageReader reader,
                          TiTxtImage& image) {
  image = TiTxtImage();
  std::vector<std::uint8_t> bytes;
  if (const TiTxtError error = ReadFileBytes(path, maxBytes, bytes); error != TiTxtError::None) return {error, 0};
  return reader(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), maxBlocks, image);
}

}  // namespace loaders
