#include "platform/files.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

std::vector<std::string> SplitComponents(std::string_view name) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : name) {
    if (c == '/' || c == '\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (dir.back() == '/') return dir + std::string(name);
  return dir + "/" + std::string(name);
}

// Entry names of a folder (without "." and ".."), sorted so that the first
// case-insensitive match is the same on every file system.
std::vector<std::string> EntryNames(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return names;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view n = e->d_name;
    if (n != "." && n != "..") names.emplace_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = Upper(a), ub = Upper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

// The real name of `component` in `dir`, or nothing.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& component) {
  if (component == "." || component == ".." || Exists(Join(dir, component))) return component;
  for (const std::string& entry : EntryNames(dir)) {
    if (SameIgnoringCase(entry, component)) return entry;
  }
  return std::nullopt;
}

bool IsOrdinaryFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ResolveCaseless(std::string_view dir, std::string_view name) {
  const bool absolute = !name.empty() && (name.front() == '/' || name.front() == '\\');
  std::string path = absolute ? std::string("/") : std::string(dir);
  bool found = true;
  for (const std::string& component : SplitComponents(name)) {
    std::optional<std::string> real;
    if (found) real = FindEntry(path, component);
    found = real.has_value();
    path = Join(path, found ? *real : component);
  }
  return path;
}

std::vector<std::string> ListFiles(std::string_view dir, std::string_view mask) {
  std::string folder(dir);
  std::string pattern(mask);
  const std::size_t cut = pattern.find_last_of("/\\");
  if (cut != std::string::npos) {
    folder = ResolveCaseless(dir, pattern.substr(0, cut));
    pattern.erase(0, cut + 1);
  }
  if (pattern == "*.*") pattern = "*";
  std::vector<std::string> files;
  for (const std::string& entry : EntryNames(folder)) {
    if (entry.front() == '.') continue;  // hidden
    if (::fnmatch(pattern.c_str(), entry.c_str(), FNM_CASEFOLD) != 0) continue;
    if (IsOrdinaryFile(Join(folder, entry))) files.push_back(entry);
  }
  return files;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  if (!IsOrdinaryFile(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(content).str();
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines) out << line << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

bool CreateDirectories(const std::string& path) {
  std::string partial;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      partial = path.substr(0, i);
      if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
