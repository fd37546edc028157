// What the EMF boot loader sends: its text replies (the version of reply 251,
// the CRC of reply 1205) and the answer bytes of the XMODEM transfer, which
// drive the sender through a small image.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "loaders/emf_commands.h"
#include "loaders/xmodem_image.h"
#include "loaders/xmodem_sender.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using loaders::xmodem::XmodemSender;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  loaders::emf::WantsConfirmation(text);
  loaders::emf::BootLoaderVersionNote(text);
  loaders::emf::ReadCrcReply(text);

  static const std::uint8_t kFile[300] = {};
  static const loaders::xmodem::PaddedImage image = loaders::xmodem::PadImage(kFile);
  XmodemSender sender(image);
  for (std::size_t i = 0; i < size; ++i) {
    const XmodemSender::Step step = sender.OnAnswer(data[i]);
    if (sender.BlocksSent() < 1 || sender.BlocksSent() > image.blockCount) __builtin_trap();
    if (step == XmodemSender::Step::Done || step == XmodemSender::Step::GiveUp) break;
  }
  return 0;
}
