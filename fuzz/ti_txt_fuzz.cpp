// TI-TXT firmware files: the common reader and both boot-loader layouts, with
// a small block table so that its limit is reached too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "loaders/ti_txt_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::size_t maxBlocks : {std::size_t{8}, std::size_t{1280}}) {
    loaders::TiTxtImage image;
    loaders::ReadTiTxt(text, {maxBlocks, 0xFFFFFF}, image);
    loaders::TiTxtImage classic;
    loaders::ReadClassicImage(text, maxBlocks, classic);
    loaders::TiTxtImage xx5;
    loaders::Read5xxImage(text, maxBlocks, xx5);
  }
  return 0;
}
