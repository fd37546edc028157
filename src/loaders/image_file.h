#pragma once
// Reading a firmware file whole, within a loader's buffer size: its bytes as
// they are, or turned into blocks with one of the TI-TXT readers. Paths are
// found by platform::ResolveCaseless before they come here. Main thread; no
// exceptions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "loaders/ti_txt_image.h"

namespace loaders {

using ImageReader = TiTxtResult (*)(std::string_view text, std::size_t maxBlocks, TiTxtImage& image);

/// Reads the whole file at `path` into `bytes`: FileMissing when it does not
/// exist, FileUnreadable when it cannot be opened or read, FileTooLarge above
/// `maxBytes` (then `bytes` holds the first maxBytes + 1), FileEmpty when it
/// holds nothing.
TiTxtError ReadFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);

/// Reads the file at `path` as ReadFileBytes does and then the image with
/// `reader`.
TiTxtResult LoadImageFile(const std::string& path, std::size_t maxBytes, std::size_t maxBlocks, ImageReader reader,
                          TiTxtImage& image);

}  // namespace loaders
