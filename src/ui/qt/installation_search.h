#pragma once
// Where the window finds its installation when no --dir names it.
//
// Started from the desktop menu, the working folder is the user's home and the
// program's folder is a system folder, and neither holds an installation. So
// the window tries the working folder, then the program's folder, then the
// folder the user opened last, and takes the first that holds both
// configuration files. No Qt here; thread-safe, never throws.
#include <optional>
#include <string>
#include <vector>

#include "updater/update_form.h"

namespace ui_qt {

/// Why a folder was a candidate.
enum class FolderRole { Working, Program, Remembered };

struct Candidate {
  FolderRole role;
  std::string folder;
};

struct InstallationSearch {
  /// The first candidate that holds an installation, as both the working and
  /// the program folder; nothing when none does.
  std::optional<updater::Installation> found;
  /// Every candidate looked in, in order, up to and including the one found.
  std::vector<Candidate> lookedIn;
};

/// True when `folder` holds "Update.ini" and "ProgDevice.ini" (in any letter
/// case, as installations are made for a case-insensitive file system).
bool HoldsInstallation(const std::string& folder);

/// The candidates of a start: the working folder and the program folder of
/// `startup`, then `remembered` (empty: none).
std::vector<Candidate> StartCandidates(const updater::Installation& startup, const std::string& remembered);

/// Looks in the candidates in order; empty names and folders already looked
/// in are skipped.
InstallationSearch SearchInstallation(const std::vector<Candidate>& candidates);

/// The sample installations of an installed package (share/doc/.../examples
/// beside the program's bin folder), or empty when there are none.
std::string SampleInstallations(const std::string& programDir);

}  // namespace ui_qt
