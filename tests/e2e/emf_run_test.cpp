// Whole console runs (--yes) that update the simulated EMF instrument from a
// copy of the sample installation, with and without faults on its XMODEM
// transfer, judged on what the instrument received, what its memory holds and
// the version it reports afterwards.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "console_sim_run.h"

namespace console {
namespace {

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

constexpr std::size_t kBlock = 128;
constexpr std::size_t kTrailer = 6;  // image length (4 bytes) and CRC (2 bytes)
const char kFailure[] = "[Error] bootloader in target not available!!  Programming abort.";
const char kSuccess[] = "Download successfully completed !";

struct EmfCase {
  const char* name;
  std::vector<std::string> faults;
  int code;
  bool programmed;          ///< the new firmware runs from exactly the file
  const char* naks;         ///< the instrument's count of refused blocks
  const char* lastCommand;  ///< what the instrument is sent last in the run
};

void PrintTo(const EmfCase& row, std::ostream* out) { *out << row.name; }

// The image as the blocks must carry it: the file, 0xFF up to 6 bytes short
// of a whole block (at least one), then the length of file and padding.
std::string PaddedImage(const std::string& file) {
  std::string image = file;
  image.append(kBlock - (file.size() + kTrailer) % kBlock, '\xFF');
  const std::size_t length = image.size();
  for (int i = 0; i < 4; ++i) image += static_cast<char>(length >> (8 * i) & 0xFF);
  return image;
}

class EmfRun : public ::testing::TestWithParam<EmfCase> {};

TEST_P(EmfRun, EndsAsTheLineAllows) {
  ASSERT_TRUE(kFastClock);
  const EmfCase& row = GetParam();
  testing::ConsoleSimRun run;
  testing::UpdateFromExample(run, "emf", row.faults, row.lastCommand);
  const std::string& text = run.out;
  const std::string& state = run.state;
  EXPECT_EQ(run.code, row.code) << text;
  EXPECT_NE(state.find(std::string("\"naks\": ") + row.naks + ","), std::string::npos) << state;
  if (row.programmed) {
    const std::string image = PaddedImage(run.install.Read("EMF1.BIN"));
    const std::string received = run.dump.Read("received.bin");
    // The blocks also carry the trailer's CRC, which the instrument checks before it starts the
    // image.
    ASSERT_EQ(received.size(), image.size() + 2);
    EXPECT_EQ(received.substr(0, image.size()), image);
    EXPECT_EQ(run.dump.Read("flash.bin"), image.substr(0, image.size() - 4));
    EXPECT_NE(state.find("\"firmware_version\": \"1.10\""), std::string::npos) << state;
    EXPECT_NE(text.find(kSuccess), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.rfind("Version: ")), "Version: 1.10\n") << text;
  } else {
    EXPECT_NE(text.find(kFailure), std::string::npos) << text;
    EXPECT_EQ(text.find(kSuccess), std::string::npos) << text;
    // The boot loader keeps the line: the new firmware was never started.
    EXPECT_NE(state.find("\"running\": \"bootloader\""), std::string::npos) << state;
    EXPECT_EQ(state.find("\"r\""), std::string::npos) << state;
  }
}

const EmfCase kCases[] = {
    {"Update", {}, kExitSuccess, true, "0", "r"},
    {"NakOnceIsRecovered", {"nak:xmodem@3"}, kExitSuccess, true, "1", "r"},
    // The third block is refused for good: the sender gives up after ten
    // refusals, in the first data phase and in both that run again in place.
    {"NaksForeverFail", {"nak:xmodem@3+"}, kExitFailed, false, "30", "u"},
    {"SilenceFailsAfterTheWatchdog", {"silence:xmodem@3"}, kExitFailed, false, "0", "u"},
    // The blocks arrived, but the boot loader's CRC differs from the image's:
    // the data phase runs again in place.
    {"WrongCrcOnceIsRecovered", {"corrupt:crc-reply"}, kExitSuccess, true, "0", "r"},
    {"WrongCrcAlwaysFails", {"corrupt:crc-reply+"}, kExitFailed, false, "0", "c"},
};

INSTANTIATE_TEST_SUITE_P(Emf, EmfRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EmfCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace console
