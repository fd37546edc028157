// What the WinCE instrument answers a data block with: the text of reply 261,
// read as a request to resend or turned into the refusal message.
#include <cstddef>
#include <cstdint>
#include <string>

#include "loaders/wince_frames.h"
#include "loaders/wince_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Reply texts reach the loader zero-terminated.
  const std::string reply(reinterpret_cast<const char*>(data), size);
  loaders::wince::AsksForResend(reply.c_str());
  for (int language = 0; language < 2; ++language)
    loaders::wince::RefusalMessage(reply, "WINCEAPP.EXE", language);
  return 0;
}
