#pragma once
// Reading a firmware file whole, within a loader's buffer size, and turning it
// into blocks with one of the TI-TXT readers. Main thread; no exceptions.
#include <cstddef>
#include <string>
#include <string_view>

#include "loaders/ti_txt_image.h"

namespace loaders {

using ImageReader = TiTxtResult (*)(std::string_view text, std::size_t maxBlocks, TiTxtImage& image);

/// `name` relative to `dir` (unchanged when `dir` is empty or `name` absolute).
std::string ResolvePath(const std::string& dir, std::string_view name);

/// Reads the file at `path` (FileMissing when it cannot be opened,
/// FileTooLarge above `maxBytes`) and then the image with `reader`.
TiTxtResult LoadImageFile(const std::string& path, std::size_t maxBytes, std::size_t maxBlocks, ImageReader reader,
                          TiTxtImage& image);

}  // namespace loaders
