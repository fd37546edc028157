// TWorkflow: a run that only identifies the instrument. The search and the
// identification are those of every run; instead of asking and programming,
// it says what the version check would do and sends the instrument back.
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {

int TWorkflow::GiveVerdict() {
  const DeviceRecord& record = Record();
  LogText(std::string(Output().Pick(texts::kOnOffer)).append(record.OfferedVersionText.view()));
  // The same comparisons as Decide, without its questions and boxes.
  const bool newer =
      record.InstrumentVersion > record.OfferedVersion &&
      (record.SecondVersion > record.SecondOfferedVersion || record.SecondVersion == 0);
  const bool same =
      record.InstrumentVersion == record.OfferedVersion &&
      (record.SecondVersion == record.SecondOfferedVersion || record.SecondOfferedVersion == 0) &&
      record.ThirdVersion == record.ThirdOfferedVersion;
  if (newer && form_.VersionCheck()) {
    LogText(Output().Pick(texts::kVerdictNewer));
  } else if (newer || same) {
    LogText(
        Output().Pick(texts::kVerdictSame));  // an unchecked newer one is asked like an equal one
  } else {
    LogText(Output().Pick(texts::kVerdictProgram));
  }
  return kIdentifiedOnly;
}

void TWorkflow::EndIdentifyOnly() {
  identStep_ = 0;
  identRetries_ = 0;
  // The instrument acknowledges the resume command; that acknowledgement must
  // find the ladder at its end, or it would start programming.
  phase_ = PH_DONE;
  View().EnableOk(true);
  // The instrument leaves the update dialogue and measures again.
  Send(ResumeCommandOf(FileType()));
  form_.SetOutcome(RunOutcome::Identified);
}

}  // namespace updater
