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
  // Every field is read as the port would read it.
  const bool framed = serial::FramesWrites(record.Handshake) && record.KeinNullZeichen && record.KeinString;
  static volatile std::size_t sink;
  sink = serial::ComName(record.Schnittstelle).size() + (framed ? 1 : 0);
  return 0;
}
