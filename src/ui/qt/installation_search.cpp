#include "ui/qt/installation_search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace ui_qt {
namespace {

constexpr const char* kSettingsFile = "Update.ini";
constexpr const char* kProfilesFile = "ProgDevice.ini";
constexpr const char* kSamplesBelowProgram = "../share/doc/instrument-updater/examples";

bool IsFile(const std::string& folder, const char* name) {
  std::error_code error;
  return std::filesystem::is_regular_file(platform::ResolveCaseless(folder, name), error);
}

}  // namespace

bool HoldsInstallation(const std::string& folder) {
  return !folder.empty() && IsFile(folder, kSettingsFile) && IsFile(folder, kProfilesFile);
}

std::vector<Candidate> StartCandidates(const updater::Installation& startup, const std::string& remembered) {
  return {{FolderRole::Working, startup.workDir},
          {FolderRole::Program, startup.programDir},
          {FolderRole::Remembered, remembered}};
}

InstallationSearch SearchInstallation(const std::vector<Candidate>& candidates) {
  InstallationSearch search;
  for (const Candidate& candidate : candidates) {
    const auto seen = [&](const Candidate& earlier) { return earlier.folder == candidate.folder; };
    if (candidate.folder.empty() || std::any_of(search.lookedIn.begin(), search.lookedIn.end(), seen)) continue;
    search.lookedIn.push_back(candidate);
    if (HoldsInstallation(candidate.folder)) {
      search.found = updater::Installation{candidate.folder, candidate.folder};
      break;
    }
  }
  return search;
}

std::string SampleInstallations(const std::string& programDir) {
  std::error_code error;
  const std::filesystem::path samples =
      std::filesystem::weakly_canonical(std::filesystem::path(programDir) / kSamplesBelowProgram, error);
  return !error && std::filesystem::is_directory(samples, error) ? samples.string() : std::string();
}

}  // namespace ui_qt
