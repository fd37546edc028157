#include "updater/firmware_catalogue.h"

#include "core/text_helpers.h"
#include "platform/files.h"

namespace updater {
namespace {

constexpr std::array<const char*, 6> kMasks{"*.mot", "*.txt", "*.exe", "*.dll", "*.hex", "*.bin"};
constexpr std::size_t kMenuProfiles = 4;

bool ContainsPattern(std::string_view name, std::string_view pattern) {
  return !pattern.empty() && name.find(pattern) != std::string_view::npos;
}

bool Skipped(std::string_view name, bool motFile) {
  if (name.find("EEP") != std::string_view::npos) return true;
  return !motFile && name.find("VERSION") != std::string_view::npos;
}

void ApplyMenuRules(FileCatalogue& catalogue, std::string_view name, bool motFile, const DeviceProfiles& profiles) {
  const std::size_t count = std::min(profiles.Table.size(), kMenuProfiles);
  for (std::size_t i = 0; i < count; ++i) {
    if (!ContainsPattern(name, profiles.Table[i].ProgFile2)) continue;
    if (!motFile) {
      catalogue.LabEnabled = true;
      continue;
    }
    if (i == 0) catalogue.ProgrammingVisible = true;
    catalogue.ModelEnabled[i] = true;
  }
}

}  // namespace

bool FileCatalogue::Contains(std::string_view name) const {
  Name wanted(name);
  core::UpperAscii(wanted.Data());
  for (const Name& file : Files) {
    if (file.view() == wanted.view()) return true;
  }
  return false;
}

FileCatalogue BuildCatalogue(const std::string& programDir, const DeviceProfiles& profiles) {
  FileCatalogue catalogue;
  for (const char* mask : kMasks) {
    const bool motFile = std::string_view(mask) == "*.mot";
    for (const std::string& file : platform::ListFiles(programDir, mask)) {
      FileCatalogue::Name name(file);
      core::UpperAscii(name.Data());
      if (Skipped(name, motFile)) continue;
      if (catalogue.Files.size() < FileCatalogue::kMaxFiles) catalogue.Files.push_back(name);
      ApplyMenuRules(catalogue, name, motFile, profiles);
      catalogue.DownloadList.emplace_back(name.view().substr(0, name.view().find('.')));
    }
  }
  return catalogue;
}

}  // namespace updater
