// A firmware file that the loaders cannot program is refused with a message
// before a single byte goes to the instrument.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "core/events.h"
#include "image_test_util.h"
#include "loaders/bsl54xx430.h"
#include "loaders/loader_texts.h"
#include "loader_services.h"
#include "loaders/bsl430.h"
#include "recording_view.h"

namespace loaders {
namespace {

class SilentPort final : public LoaderPort {
 public:
  int writes = 0;
  int Write(const std::uint8_t*, int length) override { return ++writes, length; }
  int WriteText(const char*) override { return ++writes, 0; }
  int Read(std::uint8_t*, int) override { return 0; }
  void ChangeV24Parameter(serial::BaudTag, serial::StopBitTag, serial::ParitaetTag, bool) override { ++writes; }
  void ChangeHandShake(serial::HandshakeTag) override { ++writes; }
  void SaveLastV24Parameter() override {}
  void LoadLastV24Parameter() override {}
  serial::BaudTag LineBaud() const override { return serial::B__9600; }
  std::string Describe() const override { return "COM1"; }
};

struct Refusal {
  const char* name;
  std::string text;  // file content; empty: no file at all
  TiTxtError error;
  int line = 0;
  std::size_t size = 0;  // a file of this many blanks instead
};

TEST(ImageRefusal, NothingIsSentForAFileTheLoaderCannotTake) {
  char pattern[] = "/tmp/loaders-refusal-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const Refusal cases[] = {
      {"missing", "", TiTxtError::FileMissing},
      {"long line", test::Section(0x4000, test::Bytes(18), 18) + "q", TiTxtError::LineTooLong, 2},
      {"no address", "01 02 03 04\r\nq", TiTxtError::DataWithoutAddress, 1},
      {"no start word", "@4000\r\n01 02\r\nq", TiTxtError::NoStartWord},
      {"cut short at a line end", test::Section(0x4000, test::Bytes(32)) + test::Section(0xFFF0, test::Bytes(16)),
       TiTxtError::NoEnd},
      {"too large", "", TiTxtError::FileTooLarge, 0, T_BSL_54XX_430::kFileBytes + 1},
  };
  for (const bool five : {false, true}) {
    for (const Refusal& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (five ? " 5xx" : " classic"));
      const std::string file = std::string("FW-") + c.name + ".TXT";
      if (!c.text.empty()) std::ofstream(dir + "/" + file) << c.text;
      if (c.size > 0) std::ofstream(dir + "/" + file) << std::string(c.size, ' ');
      test::LoaderServices services;
      SilentPort port;
      const LoaderContext context = services.Context(port, dir);
      T_BSL430 classic(context);
      T_BSL_54XX_430 fiveXx(context);
      const auto program = [&] {
        return five ? fiveXx.Program(0, file.c_str(), true, true) : classic.Program(0, file.c_str(), true, true);
      };
      const test::RecordingView& view = services.view;
      EXPECT_EQ(program(), 0);
      EXPECT_EQ(five ? fiveXx.ResultCode() : classic.ResultCode(), 16);
      EXPECT_EQ(port.writes, 0);
      ASSERT_EQ(view.boxes.size(), 1u);
      EXPECT_EQ(view.boxes[0], FileErrorMessage(c.error, file, c.line, 1).view());
    }
  }
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace loaders
