#include "loaders/wince_file.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "loaders/wince_frames.h"

namespace loaders::wince {
namespace {

namespace fs = std::filesystem;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path) { return File(std::fopen(path.c_str(), "rb"), &std::fclose); }

std::uint32_t DosStampOf(const fs::path& path) {
  std::error_code error;
  const fs::file_time_type written = fs::last_write_time(path, error);
  if (error) return DosDateTime(std::tm{});
  const std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(fs::file_time_type::clock::to_sys(written)));
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return DosDateTime(local);
}

}  // namespace

FileProblem CheckTransferFile(const std::string& path, std::size_t maxBytes) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return FileProblem::Missing;
  if (error || status.type() != fs::file_type::regular) return FileProblem::Unreadable;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) return FileProblem::Unreadable;
  if (size > maxBytes) return FileProblem::TooLarge;
  return Open(path) ? FileProblem::None : FileProblem::Unreadable;
}

FileProblem ReadTransferFile(const std::string& path, std::size_t maxBytes, TransferFile& file) {
  file = TransferFile();
  const FileProblem problem = CheckTransferFile(path, maxBytes);
  if (problem != FileProblem::None) return problem;
  const File stream = Open(path);
  if (!stream) return FileProblem::Unreadable;
  // One byte more than allowed tells a file that grew too large.
  file.content.resize(maxBytes + 1);
  const std::size_t n = std::fread(file.content.data(), 1, file.content.size(), stream.get());
  if (std::ferror(stream.get()) != 0) return FileProblem::Unreadable;
  if (n > maxBytes) return FileProblem::TooLarge;
  file.content.resize(n);
  file.dosStamp = DosStampOf(path);
  return FileProblem::None;
}

}  // namespace loaders::wince
