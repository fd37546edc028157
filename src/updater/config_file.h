#pragma once
// Reading the "key=value" configuration files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

using ConfigLines = std::vector<std::string>;

/// Loads a configuration file as 8-bit lines (UTF-8 with or without
/// byte-order mark, else Windows-1252; lines cut at CR LF, LF or CR). Nothing
/// when the file cannot be read.
std::optional<ConfigLines> LoadConfigLines(const std::string& path);

/// The value of `key`: the rest of the first line whose text before its first
/// "=" equals `key` ignoring ASCII letter case, untrimmed; empty when no line
/// matches. Lines without "=" never match.
std::string KeyValue(const ConfigLines& lines, std::string_view key);

/// C-style decimal reading: leading white space, an optional sign, digits up
/// to the first other character; 0 when there are none; clamped to int32.
std::int32_t ReadDecimal(std::string_view text);

}  // namespace updater
