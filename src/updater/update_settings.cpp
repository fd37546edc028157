#include "updater/update_settings.h"

namespace updater {
namespace {

constexpr std::size_t kValueLength = 255;
constexpr std::array<std::int32_t, 5> kDefaultBaud{2, 3, 4, 1, 0};
constexpr std::int32_t kHighestBaudCode = 9;
constexpr std::int32_t kPortCount = 256;

std::string Value(const ConfigLines& lines, std::string_view key) {
  std::string value = KeyValue(lines, key);
  if (value.size() > kValueLength) value.resize(kValueLength);
  return value;
}

// The comma list: a number at each position, continuing after the next comma
// at or after that position, so "3,4,," reads 3, 4, 0, 0.
void ParseBaudList(const std::string& value, UpdateSettings& settings, SettingsProblems& problems) {
  std::size_t pos = 0;
  while (settings.BaudCount < UpdateSettings::kMaxBaudCodes) {
    const std::int32_t code = ReadDecimal(std::string_view(value).substr(pos));
    if (code < 0 || code > kHighestBaudCode) {
      problems.droppedBaud.push_back(code);
    } else {
      settings.Baud[settings.BaudCount++] = code;
    }
    const std::size_t comma = value.find(',', pos);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
}

}  // namespace

UpdateSettings ParseUpdateSettings(const ConfigLines& lines, SettingsProblems& problems) {
  UpdateSettings settings;
  const std::string language = Value(lines, "Language");
  settings.Language = language.empty() ? -1 : language[0] - '0';
  if (settings.Language != 0 && settings.Language != 1) {
    problems.languageInvalid = true;
    settings.Language = 0;
  }
  settings.Version = Value(lines, "Version");
  const std::string baud = Value(lines, "Baud");
  if (!baud.empty()) ParseBaudList(baud, settings, problems);
  if (settings.BaudCount == 0) {
    for (std::int32_t code : kDefaultBaud) settings.Baud[settings.BaudCount++] = code;
  }
  const std::string com = Value(lines, "Com");
  if (!com.empty()) {
    settings.FixedPort = true;
    settings.FixedPortIndex = ReadDecimal(com) - 1;
    problems.comInvalid = settings.FixedPortIndex < 0 || settings.FixedPortIndex >= kPortCount;
  }
  return settings;
}

ConfigLines LanguageFileLines(const ConfigLines& lines, std::int32_t language, std::string_view version) {
  std::string languageValue = Value(lines, "Language");
  const char digit = static_cast<char>('0' + language);
  if (languageValue.empty()) {
    languageValue = std::string(1, digit);
  } else {
    languageValue[0] = digit;
  }
  return {"Language=" + languageValue, "Version=" + std::string(version), "Baud=" + Value(lines, "Baud"),
          "Com=" + Value(lines, "Com")};
}

}  // namespace updater
