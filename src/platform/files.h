#pragma once
// Files of an installation that was made for a case-insensitive file system.
//
// Configuration files name files in any letter case ("PROGFILE.TXT" for a file
// stored as "ProgFile.txt") and separate folders with backslashes
// ("DATA\*.*"). Every configured or fixed file name is therefore opened through
// ResolveCaseless, which finds each path component case-insensitively (ASCII
// letters) within its folder. All functions are thread-safe and never throw.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Joins `dir` and `name` (either may use '\' or '/' as separator) and finds
/// every component of `name` below `dir` case-insensitively. An exact match
/// wins over a case-insensitive one; among several case-insensitive matches
/// the first in name order is taken. From the first component that does not
/// exist on, the rest is kept as written, so the result is also the path at
/// which a new file of that name is created. An absolute `name` ignores `dir`;
/// an empty `dir` means the working directory.
std::string ResolveCaseless(std::string_view dir, std::string_view name);

/// Names (without folder) of the ordinary, non-hidden files in `dir` that match
/// `mask` case-insensitively. The mask may carry a folder part ("DATA\*.*"),
/// which is resolved as by ResolveCaseless; "*" and "?" are wildcards and
/// "*.*" matches every name, also one without a dot. Sorted by upper-cased
/// name so that the order is the same on every machine. Empty when the folder
/// does not exist.
std::vector<std::string> ListFiles(std::string_view dir, std::string_view mask);

/// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

/// Cuts a text into lines at CR LF, LF or a lone CR; no line keeps its
/// line end. A final line end does not start another line.
std::vector<std::string> SplitLines(std::string_view text);

/// Replaces the file with the lines, each ended by CR LF, as 8-bit bytes.
/// False when the file cannot be written.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

/// Creates `path` and every missing parent. True when it exists afterwards.
bool CreateDirectories(const std::string& path);

}  // namespace platform
