#pragma once
// The instrument's memory judged by an independent reader of the firmware
// file (srec_cat), not by the updater's own parser.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace console::testing {

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Empty when every byte the file gives an address holds its value in
// `flash`; otherwise the first address that differs.
inline std::string CompareWithImage(const std::string& flash, const std::string& file, const char* format,
                                    const std::string& scratch) {
  // Filled once with 0x00 and once with 0xFF, the two outputs agree exactly
  // at the addresses the file gives.
  const std::string source = file + " " + format;
  for (const char* fill : {"0x00", "0xFF"}) {
    const std::string command = "srec_cat -disable-sequence-warnings " + source + " -fill " + fill +
                                " 0 -maximum-address " + source + " -o " + scratch + "/fill" + fill + ".bin -binary";
    if (std::system(command.c_str()) != 0) return "srec_cat failed on " + file;
  }
  const std::string low = Slurp(scratch + "/fill0x00.bin");
  const std::string high = Slurp(scratch + "/fill0xFF.bin");
  if (low.size() > flash.size()) return "the image reaches beyond the flash";
  for (std::size_t i = 0; i < low.size(); ++i) {
    if (low[i] == high[i] && flash[i] != low[i]) {
      char where[64];
      std::snprintf(where, sizeof where, "differs at 0x%zX", i);
      return where;
    }
  }
  return "";
}

}  // namespace console::testing
