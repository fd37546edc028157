#include "loaders/firmware_check.h"

#include <filesystem>
#include <fstream>

#include "loaders/bsl430.h"
#include "loaders/bsl54xx430.h"
#include "loaders/emf_loader.h"
#include "loaders/image_file.h"
#include "loaders/record_file.h"
#include "loaders/term_prog.h"
#include "loaders/wince_prog.h"
#include "platform/files.h"

namespace loaders {
namespace {

namespace fs = std::filesystem;

bool EndsWithIgnoringCase(std::string_view name, std::string_view end) {
  if (name.size() < end.size()) return false;
  name.remove_prefix(name.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i) {
    const char c =
        name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
    if (c != end[i]) return false;
  }
  return true;
}

std::string_view Text(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Any bytes within `maxBytes`; `check` then reads them as their format says.
TiTxtResult ReadOutside(const std::string& path, std::size_t maxBytes,
                        TiTxtResult (*check)(std::string_view)) {
  std::vector<std::uint8_t> bytes;
  const TiTxtError error = ReadFileBytes(path, maxBytes, bytes);
  if (error != TiTxtError::None || check == nullptr) return {error, 0};
  return check(Text(bytes));
}

TiTxtResult ReadToolFile(const std::string& path, std::string_view name) {
  if (EndsWithIgnoringCase(name, ".HEX"))
    return ReadOutside(path, kOutsideFileBytes, &CheckIntelHex);
  if (EndsWithIgnoringCase(name, ".MOT"))
    return ReadOutside(path, kOutsideFileBytes, &CheckSRecords);
  return ReadOutside(path, kOutsideFileBytes, nullptr);
}

// The file read as what takes it reads it.
TiTxtResult ReadAsTaken(const std::string& path, const FirmwareFile& file) {
  TiTxtImage image;
  std::vector<std::uint8_t> bytes;
  switch (file.kind) {
    case FirmwareKind::Classic:
      return T_BSL430::ReadFirmware(path, image);
    case FirmwareKind::Msp5xx:
      return T_BSL_54XX_430::ReadFirmware(path, image);
    case FirmwareKind::BslPatch:
      return T_BSL430::ReadPatch(path, image);
    case FirmwareKind::Emf: {
      xmodem::PaddedImage padded;
      return T_EMFLoader::ReadFirmware(path, padded);
    }
    case FirmwareKind::Terminal:
      return TermProg::ReadFirmware(path, bytes);
    case FirmwareKind::Tool:
      return ReadToolFile(path, file.name);
    case FirmwareKind::WinCE:
      return ReadOutside(path, TWinCEProg::kMaxFileBytes, nullptr);
    case FirmwareKind::LabData:
      return ReadOutside(path, kOutsideFileBytes, nullptr);
  }
  return {};
}

}  // namespace

FileVerdict CheckFileFound(const std::string& workDir, std::string_view name) {
  const std::string path = platform::ResolveCaseless(workDir, name);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  FileVerdict verdict{std::string(name)};
  if (status.type() == fs::file_type::not_found) {
    verdict.error = TiTxtError::FileMissing;
  } else if (error || status.type() != fs::file_type::regular ||
             !std::ifstream(path, std::ios::binary)) {
    verdict.error = TiTxtError::FileUnreadable;
  } else {
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
      verdict.error = TiTxtError::FileUnreadable;
    } else if (size == 0) {
      verdict.error = TiTxtError::FileEmpty;
    }
  }
  return verdict;
}

FileVerdict CheckFirmwareFiles(const std::string& workDir, const std::vector<FirmwareFile>& files) {
  for (const FirmwareFile& file : files) {
    FileVerdict found = CheckFileFound(workDir, file.name);
    const bool optional =
        file.kind == FirmwareKind::BslPatch && found.error == TiTxtError::FileMissing;
    if (optional) continue;
    if (!found.Ok()) return found;
    const TiTxtResult read = ReadAsTaken(platform::ResolveCaseless(workDir, file.name), file);
    if (!read.Ok()) return {file.name, read.error, read.line};
  }
  return {};
}

}  // namespace loaders
