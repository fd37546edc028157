#include "sim/wince_receiver.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace sim {
namespace {

constexpr std::size_t kMaxNameLength = 255;

bool ParseDecimal(std::string_view text, std::uint32_t& out) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

WinceAnswer WinceReceiver::Header(std::string_view command, std::string_view parameter) {
  if (open_) return WinceAnswer::kRefuse;
  // The name may hold commas itself: date and size are the last two fields.
  const std::size_t sizeComma = parameter.rfind(',');
  if (sizeComma == std::string_view::npos || sizeComma == 0) return WinceAnswer::kRefuse;
  const std::size_t dateComma = parameter.rfind(',', sizeComma - 1);
  if (dateComma == std::string_view::npos || dateComma == 0 || dateComma > kMaxNameLength) {
    return WinceAnswer::kRefuse;
  }
  WinceFile file;
  if (!ParseDecimal(parameter.substr(dateComma + 1, sizeComma - dateComma - 1), file.dosDateTime) ||
      !ParseDecimal(parameter.substr(sizeComma + 1), file.size)) {
    return WinceAnswer::kRefuse;
  }
  file.name = parameter.substr(0, dateComma);
  file.header = command;
  if (Holds(file.name)) {
    file.status = WinceFile::Status::kHeld;
    files_.push_back(std::move(file));
    return WinceAnswer::kNextFile;
  }
  files_.push_back(std::move(file));
  open_ = files_.size() - 1;
  return WinceAnswer::kAck;
}

bool WinceReceiver::Holds(std::string_view name) const {
  const auto same = [name](const std::string& held) {
    return held.size() == name.size() &&
           std::equal(held.begin(), held.end(), name.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  return std::any_of(held_.begin(), held_.end(), same);
}

WinceAnswer WinceReceiver::Block(std::span<const std::uint8_t> data) {
  WinceFile* file = Open();
  if (file == nullptr) return WinceAnswer::kGiveUp;
  if (data.size() > file->size - file->data.size()) {
    Close(WinceFile::Status::kRefused);
    return WinceAnswer::kGiveUp;
  }
  file->data.insert(file->data.end(), data.begin(), data.end());
  ++file->blocks;
  return WinceAnswer::kAck;
}

WinceAnswer WinceReceiver::EndOfFile() {
  const WinceFile* file = Open();
  if (file == nullptr) return WinceAnswer::kRefuse;
  if (file->data.size() != file->size) {
    Close(WinceFile::Status::kIncomplete);
    return WinceAnswer::kGiveUp;
  }
  Close(WinceFile::Status::kComplete);
  return WinceAnswer::kAck;
}

WinceAnswer WinceReceiver::EndOfTransfer() {
  if (open_) return WinceAnswer::kRefuse;
  lastStart_ = transferStart_;
  lastEnd_ = transferStart_ = files_.size();
  return WinceAnswer::kAck;
}

std::span<const WinceFile> WinceReceiver::LastTransfer() const {
  return std::span<const WinceFile>(files_).subspan(lastStart_, lastEnd_ - lastStart_);
}

void WinceReceiver::GiveUp() {
  if (open_) Close(WinceFile::Status::kRefused);
}

WinceFile* WinceReceiver::Open() { return open_ ? &files_[*open_] : nullptr; }

void WinceReceiver::Close(WinceFile::Status status) {
  files_[*open_].status = status;
  open_.reset();
}

}  // namespace sim
