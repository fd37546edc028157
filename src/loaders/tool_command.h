#pragma once
// What an outside programmer is started with: the tools' names, where they and
// the firmware file are found, and their argument vectors (each argument one
// element; no shell ever sees them). Pure functions apart from the file
// system lookups.
#include <optional>
#include <string>
#include <vector>

namespace loaders {

inline constexpr const char* kHexLoadTool = "HEXLoad_8N1";
inline constexpr const char* kPic32Tool = "PIC32_Serial_Bootloader";

/// `file`, "-comN", "-baudrateR", "-auto", "-exit": N the COM number, R 9600
/// when the file carries the "@" mark (the boot loader keeps its rate), else
/// 38400.
std::vector<std::string> HexLoadArguments(const std::string& file, int comNumber,
                                          bool keepsBootLoaderRate);

/// "-fFILE", "-cN", "-b7", "-a": N the one digit of the COM number; none for a
/// port beyond COM9, which that option cannot carry.
std::optional<std::vector<std::string>> Pic32Arguments(const std::string& file, int portIndex);

/// The path of tool `name` (or "name.exe"), letter case ignored, in the
/// first of `folders` that has it; when none has it, the plain name in the
/// first folder (so that starting it reports where it was looked for).
std::string FindTool(const std::vector<std::string>& folders, const std::string& name);

/// The firmware file as an outside program in the working directory finds
/// it, by platform::ResolveCaseless: relative to the working directory when
/// the installation folder `workDir` is that directory (or not set), else
/// below `workDir`; an absolute name stays absolute.
std::string FileForTool(const std::string& workDir, const std::string& file);

}  // namespace loaders
