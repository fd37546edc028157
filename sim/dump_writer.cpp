#include "sim/dump_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace sim {
namespace {

// Texts from the line are 8-bit (Windows-1252); JSON gets every byte outside
// printable ASCII as \u00XX so the file is valid whatever arrived.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  char escape[8];
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The name came over the line: only letters, digits, '.', '-' and '_' reach
// the file system, so no name can leave the dump directory.
std::string LabFileName(const std::string& announced) {
  std::string name = "lab-";
  for (const char c : announced) name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
  return name;
}

void Field(std::string& out, const char* name, const std::string& value) {
  out += "  \"" + std::string(name) + "\": " + value + ",\n";
}

std::string WinceFileJson(const WinceFile& file) {
  return "{\"name\": " + Quoted(file.name) + ", \"header\": " + Quoted(file.header) +
         ", \"dos_date_time\": " + std::to_string(file.dosDateTime) + ", \"date\": " +
         Quoted(DosDateTimeText(file.dosDateTime)) + ", \"size\": " + std::to_string(file.size) +
         ", \"received\": " + std::to_string(file.data.size()) + ", \"blocks\": " + std::to_string(file.blocks) +
         ", \"status\": " + Quoted(std::string(StatusName(file.status))) + ", \"dump\": " +
         Quoted(WinceDumpName(file.name)) + "}";
}

}  // namespace

std::string StateJson(const Instrument& instrument) {
  const SimState& s = instrument.Status();
  const SimCounters& n = s.counters;
  std::string out = "{\n";
  Field(out, "running", Quoted(s.firmwareRunning ? "firmware" : "bootloader"));
  Field(out, "boot_loader_component", std::to_string(s.bootLoaderComponent));
  Field(out, "firmware_version", Quoted(s.firmwareVersion));
  Field(out, "second_version", Quoted(s.secondVersion));
  Field(out, "clock", Quoted(s.clock));
  Field(out, "air_pressure", Quoted(s.airPressure));
  Field(out, "load_pc", s.loadPc < 0 ? "null" : std::to_string(s.loadPc));
  std::string list = "[";
  for (std::size_t i = 0; i < s.commands.size(); ++i) list += (i ? ", " : "") + Quoted(s.commands[i]);
  Field(out, "commands", list + "]");
  list = "[";
  for (std::size_t i = 0; i < s.labFiles.size(); ++i) list += (i ? ", " : "") + Quoted(s.labFiles[i].name);
  Field(out, "lab_files", list + "]");
  Field(out, "line_baud", std::to_string(instrument.Line().baud));
  Field(out, "startup_version", Quoted(s.winceStartup));
  list = "[";
  for (std::size_t i = 0; i < s.winceFiles.size(); ++i) list += (i ? ", " : "") + WinceFileJson(s.winceFiles[i]);
  Field(out, "wince_files", list + "]");
  out += "  \"counters\": {\"frames\": " + std::to_string(n.frames) + ", \"acks\": " + std::to_string(n.acks) +
         ", \"naks\": " + std::to_string(n.naks) + ", \"erases\": " + std::to_string(n.erases) +
         ", \"programs\": " + std::to_string(n.programs) + ", \"bad_frames\": " + std::to_string(n.badFrames) +
         ", \"garbled_bytes\": " + std::to_string(n.garbledBytes) +
         ", \"faults\": " + std::to_string(n.faults) + ", \"flash_us\": " + std::to_string(n.flashMicros) +
         "}\n}\n";
  return out;
}

bool DumpWriter::WriteFile(const std::string& name, const void* data, std::size_t size) const {
  const std::string path = directory_ + "/" + name;
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && done == size;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool DumpWriter::WriteWinceFiles(const std::vector<WinceFile>& files) const {
  bool ok = true;
  for (const WinceFile& file : files) {
    if (file.status != WinceFile::Status::kComplete) continue;
    const std::string folder = directory_ + "/wince";
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
    ok = WriteFile(WinceDumpName(file.name), file.data.data(), file.data.size()) && ok;
  }
  return ok;
}

bool DumpWriter::WriteEmfFiles(const EmfMemory& memory) const {
  const bool flash = WriteFile("flash.bin", memory.flash.data(), memory.flash.size());
  return WriteFile("received.bin", memory.received.data(), memory.received.size()) && flash;
}

bool DumpWriter::Write(const Instrument& instrument, bool flash) const {
  bool ok = true;
  if (flash && instrument.Emf() != nullptr) {
    ok = WriteEmfFiles(*instrument.Emf()) && ok;
  } else if (flash) {
    const auto image = instrument.Terminal() ? instrument.Terminal()->Image() : instrument.Memory(0).FlashImage();
    ok = WriteFile("flash.bin", image.data(), image.size()) && ok;
    if (instrument.HasSensor()) {
      const auto sensor = instrument.Memory(1).FlashImage();
      ok = WriteFile("sensor-flash.bin", sensor.data(), sensor.size()) && ok;
    }
    for (const LabFile& file : instrument.Status().labFiles) {
      if (file.complete) ok = WriteFile(LabFileName(file.name), file.data.data(), file.data.size()) && ok;
    }
    ok = WriteWinceFiles(instrument.Status().winceFiles) && ok;
  }
  const std::string json = StateJson(instrument);
  return WriteFile("state.json", json.data(), json.size()) && ok;
}

}  // namespace sim
