// HEXLoad_8N1: the stand-in for the maker's programming tool of the M16
// instruments, used when the updater library is not installed.
//
//   HEXLoad_8N1 FILE -comN -baudrate38400|-baudrate9600 -auto -exit
//
// Programs the Motorola S-record FILE into the instrument on COM N (the N-th
// path of UPDATER_PORTS) through its boot loader at that rate, 8N1: connect,
// erase, write and read back every piece, validate, start the application.
// Like the tool it stands in for, it takes exactly this form, in this order:
// without -auto the tool would wait for a user, without -exit it would stay
// open, so a command line without them is refused (exit code 2).
// Exit codes: see exit_codes.h.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/standins/exit_codes.h"
#include "sim/standins/m16_link.h"

namespace {

using standin::LinkResult;

constexpr int kConnectAttempts = 3;

struct Arguments {
  std::string file;
  int com = 0;
  std::uint32_t baud = 0;
};

bool Number(std::string_view text, long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
      text.size() > 9)
    return false;
  value = std::strtol(std::string(text).c_str(), nullptr, 10);
  return true;
}

// The tool's one argument form, in this order; anything else is refused.
bool Parse(int argc, char** argv, Arguments& args) {
  if (argc != 6) return false;
  const std::string_view file = argv[1], com = argv[2], baud = argv[3];
  long value = 0;
  if (file.empty() || file.starts_with("-")) return false;
  args.file = file;
  if (!com.starts_with("-com") || !Number(com.substr(4), value) || value < 1) return false;
  args.com = static_cast<int>(value);
  if (baud == "-baudrate38400") {
    args.baud = 38400;
  } else if (baud == "-baudrate9600") {
    args.baud = 9600;
  } else {
    return false;
  }
  return std::string_view(argv[4]) == "-auto" && std::string_view(argv[5]) == "-exit";
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "HEXLoad_8N1: %s\n", message.c_str());
  return code;
}

int Outcome(LinkResult result, const char* step, const standin::M16Link& link) {
  if (result == LinkResult::kOk) return standin::kSuccess;
  if (result == LinkResult::kNoAnswer)
    return Fail(standin::kTryAgain, std::string(step) + ": no answer");
  return Fail(standin::kRefused,
              std::string(step) + ": refused (status " + std::to_string(link.LastStatus()) + ")");
}

int Run(const Arguments& args) {
  const auto text = standin::ReadFirmwareFile(args.file);
  if (!text) return Fail(standin::kBadFile, args.file + ": cannot be read");
  std::string error;
  const auto blocks = standin::ParseSRecords(*text, error);
  if (!blocks) return Fail(standin::kBadFile, args.file + ": " + error);

  const std::string path = standin::ComPortPath(std::getenv("UPDATER_PORTS"), args.com);
  if (path.empty())
    return Fail(standin::kNoPort, "COM" + std::to_string(args.com) + " is not in UPDATER_PORTS");
  const auto line = standin::ToolLine::Open(path, args.baud, error);
  if (!line) return Fail(standin::kNoPort, error);

  standin::M16Link link(*line);
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  LinkResult result = LinkResult::kNoAnswer;
  for (int attempt = 0; attempt < kConnectAttempts && result == LinkResult::kNoAnswer; ++attempt) {
    result = link.Connect(start, end);
  }
  if (result != LinkResult::kOk) return Outcome(result, "connect", link);
  for (const standin::Block& block : *blocks) {
    if (block.address < start || block.address + block.data.size() > end) {
      return Fail(standin::kBadFile, args.file + ": data outside the instrument's flash");
    }
  }
  if (int code = Outcome(link.Erase(), "erase", link)) return code;
  if (int code = Outcome(link.Program(*blocks, [](int) {}), "program", link)) return code;
  if (int code = Outcome(link.Validate(), "validate", link)) return code;
  return Outcome(link.Start(), "start", link);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!Parse(argc, argv, args)) {
    return Fail(standin::kUsage, "usage: HEXLoad_8N1 FILE -comN -baudrate38400|-baudrate9600 -auto -exit");
  }
  return Run(args);
}
