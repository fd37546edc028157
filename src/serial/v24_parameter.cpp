#include "serial/v24_parameter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace serial {

namespace {

constexpr std::size_t kRecordBytes = 40;
constexpr std::size_t kNotificationOffset = 36;

bool WriteRecordAt0(int fd, const V24ParameterTag& record) {
  std::uint8_t bytes[kRecordBytes];
  V24ToBytes(record, bytes);
  return ::pwrite(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes);
}

// Lays up to 40 bytes of the file over the record, the delay cleared first:
// a file written before the delay existed (36 bytes) yields a delay of 0.
void OverlayFromFile(int fd, V24ParameterTag& record) {
  std::uint8_t bytes[kRecordBytes];
  V24ToBytes(record, bytes);
  std::memset(bytes + kNotificationOffset, 0, kRecordBytes - kNotificationOffset);
  std::uint8_t file[kRecordBytes];
  const ssize_t n = ::pread(fd, file, sizeof file, 0);
  if (n > 0) std::memcpy(bytes, file, static_cast<std::size_t>(n));
  record = V24FromBytes(bytes);
}

}  // namespace

void ReadSettingsFile(const std::string& name, V24ParameterTag& record) {
  int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno == EACCES)
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);  // read-only still counts
  if (fd >= 0) {
    OverlayFromFile(fd, record);
    ::close(fd);
    return;
  }
  fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  WriteRecordAt0(fd, record);
  ::close(fd);
}

bool WriteSettingsFile(const std::string& name, const V24ParameterTag& record) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = WriteRecordAt0(fd, record);
  return (::close(fd) == 0) && ok;
}

TV24Parameter::TV24Parameter() : record_(DefaultV24Parameter()) {}

void TV24Parameter::Bind(bool stream, const std::string& fileName) {
  stream_ = stream;
  fileName_ = fileName;
}

V24ParameterTag& TV24Parameter::Fetch() {
  if (stream_ && !fileName_.empty()) ReadSettingsFile(fileName_, record_);
  return record_;
}

void TV24Parameter::Store(const V24ParameterTag& record) {
  record_ = record;
  if (stream_ && !fileName_.empty()) WriteSettingsFile(fileName_, record_);
}

}  // namespace serial
