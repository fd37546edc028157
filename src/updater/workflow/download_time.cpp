#include "updater/workflow/download_time.h"

namespace updater {

bool MainIsNewer(const DeviceRecord& record, bool force) {
  return record.InstrumentVersion < record.OfferedVersion ||
         (record.InstrumentVersion == record.OfferedVersion && force);
}

bool SecondIsNewer(const DeviceRecord& record, bool force) {
  return record.SecondVersion < record.SecondOfferedVersion ||
         (record.SecondVersion == record.SecondOfferedVersion && force);
}

std::uint32_t DownloadMinutes(std::int32_t kind, const DeviceRecord& record, bool force) {
  std::uint32_t minutes = MainIsNewer(record, force) ? 2 : 0;
  if (kind == DK_LONG) minutes = 15;
  const bool secondNewer = SecondIsNewer(record, force);
  if (secondNewer) minutes += 1;
  if (record.FirstFile.size() > 3) minutes += 2;
  if (secondNewer && record.SecondVersion > 200) minutes += 35;
  return minutes;
}

}  // namespace updater
