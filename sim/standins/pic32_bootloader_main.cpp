// PIC32_Serial_Bootloader: the stand-in for the programming tool of the PIC32
// instruments.
//
//   PIC32_Serial_Bootloader -fFILE -cN -bK [-a]
//
// Programs the Intel HEX FILE into the instrument on COM N (one digit 1 to 9;
// the N-th path of UPDATER_PORTS) through its serial boot loader at the rate
// of code K (0 1200, 1 2400, 2 4800, 3 9600, 4 19200, 5 38400, 6 57600,
// 7 115200 bit/s), 8N1: read the boot info, erase, send every record, compare
// the CRC of each programmed range; with -a the application is started
// afterwards. Exit codes: see exit_codes.h.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/standins/exit_codes.h"
#include "sim/standins/pic32_link.h"

namespace {

using standin::LinkResult;

constexpr int kInfoAttempts = 3;
constexpr std::uint32_t kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

struct Arguments {
  std::string file;
  int com = 0;
  std::uint32_t baud = 0;
  bool startApplication = false;
};

bool OneDigit(std::string_view text, char low, char high) {
  return text.size() == 1 && text[0] >= low && text[0] <= high;
}

bool Parse(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with("-f") && arg.size() > 2) {
      args.file = arg.substr(2);
    } else if (arg.starts_with("-c") && OneDigit(arg.substr(2), '1', '9')) {
      args.com = arg[2] - '0';
    } else if (arg.starts_with("-b") && OneDigit(arg.substr(2), '0', '7')) {
      args.baud = kRates[arg[2] - '0'];
    } else if (arg == "-a") {
      args.startApplication = true;
    } else {
      return false;
    }
  }
  return !args.file.empty() && args.com > 0 && args.baud > 0;
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "PIC32_Serial_Bootloader: %s\n", message.c_str());
  return code;
}

int Outcome(LinkResult result, const std::string& step) {
  if (result == LinkResult::kOk) return standin::kSuccess;
  if (result == LinkResult::kNoAnswer) return Fail(standin::kTryAgain, step + ": no answer");
  return Fail(standin::kRefused, step + ": unexpected answer");
}

int Program(standin::Pic32Link& link, const standin::IntelHexFile& file) {
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
  LinkResult result = LinkResult::kNoAnswer;
  for (int attempt = 0; attempt < kInfoAttempts && result == LinkResult::kNoAnswer; ++attempt) {
    result = link.ReadBootInfo(major, minor);
  }
  if (int code = Outcome(result, "read boot info")) return code;
  if (int code = Outcome(link.EraseFlash(), "erase")) return code;
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    if (int code = Outcome(link.ProgramRecord(file.records[i]), "record " + std::to_string(i + 1)))
      return code;
  }
  for (const standin::Block& block : file.blocks) {
    std::uint16_t crc = 0;
    const auto length = static_cast<std::uint32_t>(block.data.size());
    if (int code = Outcome(link.ReadCrc(block.address, length, crc), "read CRC")) return code;
    if (crc != standin::Pic32Crc(block.data)) {
      char where[16];
      std::snprintf(where, sizeof where, "0x%08X", static_cast<unsigned>(block.address));
      return Fail(standin::kRefused, std::string("verification failed at ") + where);
    }
  }
  return standin::kSuccess;
}

int Run(const Arguments& args) {
  const auto text = standin::ReadFirmwareFile(args.file);
  if (!text) return Fail(standin::kBadFile, args.file + ": cannot be read");
  std::string error;
  const auto file = standin::ParseIntelHex(*text, error);
  if (!file) return Fail(standin::kBadFile, args.file + ": " + error);

  const std::string path = standin::ComPortPath(std::getenv("UPDATER_PORTS"), args.com);
  if (path.empty())
    return Fail(standin::kNoPort, "COM" + std::to_string(args.com) + " is not in UPDATER_PORTS");
  const auto line = standin::ToolLine::Open(path, args.baud, error);
  if (!line) return Fail(standin::kNoPort, error);

  standin::Pic32Link link(*line);
  if (int code = Program(link, *file)) return code;
  if (args.startApplication && !link.JumpToApplication())
    return Fail(standin::kTryAgain, "jump: line failed");
  return standin::kSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!Parse(argc, argv, args)) {
    return Fail(standin::kUsage,
                "usage: PIC32_Serial_Bootloader -fFILE -cN -bK [-a]  (N 1 to 9, K 0 to 7)");
  }
  return Run(args);
}
