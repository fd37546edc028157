// The installation's configuration files: the input read as Update.ini and
// as ProgDevice.ini, through the same file reader the program uses, and the
// values derived from them.
#include <cstddef>
#include <cstdint>

#include "input_file.h"
#include "updater/config_file.h"
#include "updater/device_profiles.h"
#include "updater/update_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::InputFile file("Update.ini");
  const std::optional<updater::ConfigLines> lines =
      updater::LoadConfigLines(file.Write(data, size));
  if (!lines) return 0;
  updater::SettingsProblems problems;
  const updater::UpdateSettings settings = updater::ParseUpdateSettings(*lines, problems);
  updater::LanguageFileLines(*lines, 1, settings.Version.view());
  const updater::DeviceProfiles profiles = updater::ParseDeviceProfiles(*lines);
  for (const updater::DeviceProfile& profile : profiles.Table) {
    updater::FindProgDefFile(profiles, profile.ProzTyp);
    updater::FileTypeOf(profile.ProgFile2.view());
  }
  updater::StartCmdIndexOf(updater::KeyValue(*lines, "DevStartCmd"));
  updater::ReadDecimal(updater::KeyValue(*lines, "Language"));
  return 0;
}
