// The serial settings file: any bytes laid over the record, and the line
// settings built from what was read.
#include <cstddef>
#include <cstdint>

#include "input_file.h"
#include "serial/line_settings.h"
#include "serial/v24_parameter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::InputFile file("ComData.cfg");
  serial::V24ParameterTag record = serial::DefaultV24Parameter();
  serial::ReadSettingsFile(file.Write(data, size), record);
  serial::BuildLineSettings(record);
  // The remaining fields read as the port reads them (a port name is never empty).
  if (record.KeinNullZeichen && record.KeinString && serial::FramesWrites(record.Handshake) &&
      serial::ComName(record.Schnittstelle).empty())
    __builtin_trap();
  return 0;
}
