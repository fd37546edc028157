#include "updater/device_profiles.h"

#include <cstdlib>

#include "core/text_helpers.h"

namespace updater {
namespace {

constexpr std::size_t kValueLength = 511;
constexpr std::size_t kDeviceBlockLines = 11;
constexpr std::size_t kTextBlockLines = 4;

using Block = ConfigLines;

std::string Value(const Block& block, std::string_view key) {
  std::string value = KeyValue(block, key);
  if (value.size() > kValueLength) value.resize(kValueLength);
  return value;
}

template <std::size_t N>
core::FixedText<N> Upper(const std::string& value) {
  core::FixedText<N> text(value);
  core::UpperAscii(text.Data());
  return text;
}

// PCB and device numbers of five characters are completed to the "12345.000"
// form in which the instruments answer.
std::string NumberWithFraction(std::string value) {
  if (value.size() == 5) value += ".000";
  return value;
}

// Markers are written in the file with a typed "\r\n", which stands for the
// real line end that ends the marker.
std::string MarkerValue(std::string value) {
  const std::size_t at = value.find("\\r\\n");
  if (at != std::string::npos) value.replace(at, std::string::npos, "\r\n");
  return value;
}

std::int32_t ReadHex(const std::string& value) {
  return static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 16));
}

DeviceProfile ReadProfile(const Block& block) {
  DeviceProfile p;
  p.DeviceNrDef = NumberWithFraction(Value(block, "DeviceNrDef"));
  p.DeviceNr = NumberWithFraction(Value(block, "DeviceNr"));
  p.DeviceName = Value(block, "DeviceName");
  p.ProgFile1 = Upper<32>(Value(block, "ProgFile1"));
  p.ProgFile2 = Upper<512>(Value(block, "ProgFile2"));
  p.ProgFile3 = Upper<512>(Value(block, "ProgFile3"));
  p.SWKenn1 = MarkerValue(Value(block, "SWKenn1"));
  p.SWKenn2 = MarkerValue(Value(block, "SWKenn2"));
  p.SWKenn3 = MarkerValue(Value(block, "SWKenn3"));
  p.BootLoadKenn = Value(block, "BootLoadKenn");
  p.FlashErase1 = Value(block, "FlashErase1");
  p.FlashErase2 = Value(block, "FlashErase2");
  p.FlashErase3 = Value(block, "FlashErase3");
  p.ProgDefFile = Upper<32>(Value(block, "ProgDefFile"));
  p.ProzTyp = ReadHex(Value(block, "ProzTyp"));
  return p;
}

void ReadDeviceBlock(const Block& block, DeviceProfiles& profiles) {
  if (profiles.Table.size() >= DeviceProfiles::kMaxProfiles) return;
  profiles.Table.push_back(ReadProfile(block));
  const std::optional<std::int32_t> index = StartCmdIndexOf(Value(block, "DevStartCmd"));
  profiles.StartCmdIndex = index.value_or(0);
  if (!index) profiles.startCmdInvalid = true;
}

void ReadTextBlock(const Block& block, DeviceProfiles& profiles) {
  profiles.StarttextD = Value(block, "StarttextD");
  profiles.StarttextE = Value(block, "StarttextE");
  profiles.AbbruchtextD = Value(block, "AbbruchtextD");
  profiles.AbbruchtextE = Value(block, "AbbruchtextE");
}

void ReadBlock(const Block& block, DeviceProfiles& profiles) {
  if (block.size() >= kDeviceBlockLines) {
    ReadDeviceBlock(block, profiles);
  } else if (block.size() == kTextBlockLines) {
    ReadTextBlock(block, profiles);
  }
}

}  // namespace

std::optional<std::int32_t> StartCmdIndexOf(std::string_view devStartCmd) {
  if (devStartCmd.empty() || devStartCmd[0] < '1' || devStartCmd[0] > '9') return std::nullopt;
  const std::int32_t index = devStartCmd[0] - '1';
  return index >= 5 ? index - 5 : index;
}

std::int32_t FileTypeOf(std::string_view progFile2) {
  std::int32_t type = FT_MOT;
  if (progFile2.find(".TXT") != std::string_view::npos) type = FT_TXT;
  if (progFile2.find(".EXE") != std::string_view::npos) type |= FT_EXE;
  if (progFile2.find(".HEX") != std::string_view::npos) type |= FT_HEX;
  return type;
}

DeviceProfiles ParseDeviceProfiles(const ConfigLines& lines) {
  DeviceProfiles profiles;
  Block block;
  for (const std::string& line : lines) {
    if (!line.empty()) {
      block.push_back(line);
      continue;
    }
    ReadBlock(block, profiles);
    block.clear();
  }
  ReadBlock(block, profiles);
  if (!profiles.Table.empty()) profiles.FileType = FileTypeOf(profiles.Table[0].ProgFile2);
  profiles.StartCmdIndexCopy = profiles.StartCmdIndex;
  return profiles;
}

const char* FindProgDefFile(const DeviceProfiles& profiles, std::int32_t prozTyp) {
  for (const DeviceProfile& profile : profiles.Table) {
    if (profile.ProzTyp == prozTyp) return profile.ProgDefFile.c_str();
  }
  return nullptr;
}

}  // namespace updater
