// instrument-image: writes the firmware images (TI-TXT; S-records for a .mot
// file, Intel HEX for a .hex file; binary for the emf layout; the terminal's
// S-records for its Basic-Loader) that the simulator's presets and the sample
// installations use.
//
//   instrument-image firmware --layout PRESET [--version V] [--version-address A]
//                    [--code-address A] [--code-size N] [--entry A] [--start-word 0|1] -o FILE
//   (--layout emf writes the .BIN image of sim/emf_image.h from --version and --code-size)
//   instrument-image patch -o FILE
//   instrument-image wince --size N [--version V] -o FILE
//   instrument-image terminal [--version V] [--code-address A] [--code-size N]
//                    [--address-bytes 3|4] -o FILE
#include <cctype>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/emf_image.h"
#include "sim/image_builder.h"
#include "sim/image_formats.h"
#include "sim/presets.h"
#include "sim/terminal_image.h"
#include "sim/wince_image.h"

namespace {

constexpr const char* kUsage =
    "usage: instrument-image firmware --layout msp430-classic|msp430-5xx|lab|emf|m16|pic32 [--version V]\n"
    "         [--version-address A] [--code-address A] [--code-size N] [--entry A] [--start-word 0|1] -o FILE\n"
    "       (FILE ending in .mot: S-records, .hex: Intel HEX, anything else: TI-TXT; binary for emf)\n"
    "       instrument-image patch -o FILE\n"
    "       instrument-image wince --size N [--version V] -o FILE\n"
    "       instrument-image terminal [--version V] [--code-address A] [--code-size N] [--address-bytes 3|4]\n"
    "         -o FILE   (S-records for the Basic-Loader; the S0 header carries FILE's name)\n";

bool ParseNumber(const std::string& text, std::uint32_t& out) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const char* begin = text.data() + (hex ? 2 : 0);
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(begin, end, out, hex ? 16 : 10);
  return error == std::errc() && stop == end && begin != end;
}

bool ParseFirmware(const std::vector<std::string>& args, sim::FirmwareImageSpec& recipe, std::string& output,
                   bool& binary) {
  bool haveLayout = false;
  for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    bool ok = true;
    if (key == "--layout") {
      const auto preset = sim::FindPreset(value);
      ok = haveLayout = preset.has_value();
      if (ok) recipe = preset->main.firmware;
      if (ok) binary = preset->emf.has_value();
    } else if (key == "--version") {
      recipe.version = value;
    } else if (key == "--version-address") {
      ok = ParseNumber(value, recipe.versionAddress);
    } else if (key == "--code-address") {
      ok = ParseNumber(value, recipe.codeAddress);
    } else if (key == "--code-size") {
      ok = ParseNumber(value, recipe.codeSize);
    } else if (key == "--entry") {
      ok = ParseNumber(value, recipe.entry);
    } else if (key == "--start-word") {
      ok = value == "0" || value == "1";
      recipe.startWord = value == "1";
    } else if (key == "-o") {
      output = value;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "instrument-image: bad %s %s\n", key.c_str(), value.c_str());
      return false;
    }
  }
  return haveLayout && args.size() % 2 == 1;
}

// A file of a WinCE installation; its content is seeded by the file's name.
bool ParseWince(const std::vector<std::string>& args, sim::WinceFileRecipe& recipe, std::string& output) {
  for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    if (key == "--size" && ParseNumber(value, recipe.size)) continue;
    if (key == "--version") {
      recipe.version = value;
    } else if (key == "-o") {
      output = value;
      recipe.seed = value.substr(value.find_last_of('/') + 1);
    } else {
      std::fprintf(stderr, "instrument-image: bad %s %s\n", key.c_str(), value.c_str());
      return false;
    }
  }
  return args.size() % 2 == 1 && recipe.size > 0 && !output.empty();
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool ParseTerminal(const std::vector<std::string>& args, sim::TerminalImageSpec& recipe, int& addressBytes,
                   std::string& output) {
  for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
    const std::string& key = args[i];
    const std::string& value = args[i + 1];
    bool ok = true;
    if (key == "--version") {
      recipe.version = value;
      ok = !value.empty() && value.size() < sim::kTerminalVersionBytes;
    } else if (key == "--code-address") {
      ok = ParseNumber(value, recipe.codeAddress);
    } else if (key == "--code-size") {
      ok = ParseNumber(value, recipe.codeSize);
    } else if (key == "--address-bytes") {
      ok = value == "3" || value == "4";
      addressBytes = value == "4" ? 4 : 3;
    } else if (key == "-o") {
      output = value;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "instrument-image: bad %s %s\n", key.c_str(), value.c_str());
      return false;
    }
  }
  return args.size() % 2 == 1;
}

int WriteText(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return 1;
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok ? 0 : 1;
}

// The text format that the output file's extension asks for.
std::string ImageText(const std::string& path, const sim::MemoryImage& image) {
  const std::size_t dot = path.find_last_of('.');
  std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".mot") return sim::ToSRecords(image);
  if (extension == ".hex") return sim::ToIntelHex(image);
  return sim::ToTiTxt(image);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string output;
  if (args.size() == 3 && args[0] == "patch" && args[1] == "-o") {
    return WriteText(args[2], sim::ToTiTxt(sim::BuildPatchImage()));
  }
  if (!args.empty() && args[0] == "terminal") {
    sim::TerminalImageSpec recipe;
    int addressBytes = 3;
    if (!ParseTerminal(args, recipe, addressBytes, output) || output.empty()) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    return WriteText(output, sim::TerminalSRecordFile(recipe, BaseName(output), addressBytes));
  }
  if (!args.empty() && args[0] == "wince") {
    sim::WinceFileRecipe wince;
    if (!ParseWince(args, wince, output)) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    const std::vector<std::uint8_t> bytes = sim::BuildWinceFile(wince);
    return WriteText(output, std::string(bytes.begin(), bytes.end()));
  }
  sim::FirmwareImageSpec recipe;
  bool binary = false;
  if (args.empty() || args[0] != "firmware" || !ParseFirmware(args, recipe, output, binary) || output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (binary) {
    const std::vector<std::uint8_t> image = sim::BuildEmfImage(recipe);
    return WriteText(output, std::string(image.begin(), image.end()));
  }
  return WriteText(output, ImageText(output, sim::BuildFirmwareImage(recipe)));
}
