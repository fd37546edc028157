// The Basic-Loader's texts as they arrive: the input cut into reads of varying
// size (each read's size, and whether it goes through the read buffer or is
// appended, taken from the input itself), matched after every read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "loaders/basic_loader_inbox.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  loaders::BasicLoaderInbox inbox;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t control = data[at++];
    const std::size_t chunk = std::min<std::size_t>(control % 128 + 1, size - at);
    if (control & 0x80) {
      inbox.Append({reinterpret_cast<const char*>(data + at), chunk});
    } else {
      const std::size_t read = std::min(chunk, loaders::BasicLoaderInbox::kReadSize);
      std::memcpy(inbox.MakeRoom(), data + at, read);
      inbox.Added(read);
    }
    at += chunk;
    inbox.Match([](std::int32_t) {});
    if (inbox.Text().size() > loaders::BasicLoaderInbox::kCapacity) __builtin_trap();
  }
  return 0;
}
