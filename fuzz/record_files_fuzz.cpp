// S-record and Intel-HEX firmware files, as the check before a boot loader
// starts reads them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "loaders/record_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  loaders::CheckSRecords(text);
  loaders::CheckIntelHex(text);
  return 0;
}
