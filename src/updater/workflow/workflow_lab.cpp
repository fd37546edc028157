// TWorkflow: sending the Lab data files (the extra files of the profile), one
// after the other, each announced by name and sent in blocks of up to 255
// bytes; every command waits for the instrument's acknowledgement.
#include <cstring>

#include "platform/files.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"

namespace updater {
namespace {

constexpr std::int32_t kBlockBytes = 255;
constexpr char kBlockPrefix[] = "A.12010#";
constexpr std::size_t kBlockPrefixLength = sizeof kBlockPrefix - 1;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

void TWorkflow::StartDataFiles() {
  form_.Events().Subscribe(DataFileCallback, this);
  dataFileIndex_ = 0;
  if (OpenDataFile(0, 0)) dataFileIndex_ = 1;
}

// Opens entry `index`, sets up the progress bar (size / 255 + `progressExtra`
// steps) and announces the file. False when it cannot be opened: the transfer
// has then been stopped.
bool TWorkflow::OpenDataFile(std::int32_t index, std::int32_t progressExtra) {
  const DeviceRecord::FileName& name = Record().ExtraFiles[static_cast<std::size_t>(index)];
  const std::string path = platform::ResolveCaseless(form_.Paths().workDir, name);
  dataFile_.reset(std::fopen(path.c_str(), "rb"));
  long size = -1;
  if (dataFile_ && std::fseek(dataFile_.get(), 0, SEEK_END) == 0) size = std::ftell(dataFile_.get());
  if (size < 0 || std::fseek(dataFile_.get(), 0, SEEK_SET) != 0) {
    ShowFileError(name);
    StopDataFiles();
    return false;
  }
  bytesRemaining_ = static_cast<std::int32_t>(size);
  View().SetProgress(0);
  View().SetProgressMax(static_cast<int>(size / kBlockBytes) + progressExtra);
  sending_ = true;
  const std::string announce = "A.12000#" + Lower(name) + "\r\n";
  form_.WriteCommand(announce.c_str());
  return true;
}

core::TEventRecord TWorkflow::DataFileCallback(void* object, core::TEvents&, Event event) {
  return static_cast<TWorkflow*>(object)->DataFileStep(event);
}

core::TEventRecord TWorkflow::DataFileStep(Event event) {
  // OK must not start a run while the instrument takes its data.
  if (event.Kind == core::EVT_CMD && event.Code == CMD_START) return {};
  if (event.Kind != core::EVT_MSG || event.Code != EV_ACKNOWLEDGE) return event;
  if (!sending_) {
    NextDataFile();
  } else if (bytesRemaining_ > 0) {
    SendDataBlock();
  } else {
    View().SetProgress(0);
    form_.WriteCommand("A.12030\r\n");
    sending_ = false;
    dataFile_.reset();
  }
  return {};
}

void TWorkflow::SendDataBlock() {
  char frame[kBlockPrefixLength + 1 + kBlockBytes];
  std::memcpy(frame, kBlockPrefix, kBlockPrefixLength);
  const std::size_t want = static_cast<std::size_t>(bytesRemaining_ < kBlockBytes ? bytesRemaining_ : kBlockBytes);
  const std::size_t got = std::fread(frame + kBlockPrefixLength + 1, 1, want, dataFile_.get());
  if (got == 0) {
    // The file shrank or cannot be read any more: a block of 0 bytes does not
    // exist in the protocol, so the transfer stops here.
    ShowFileError(Record().ExtraFiles[static_cast<std::size_t>(dataFileIndex_ - 1)]);
    StopDataFiles();
    return;
  }
  bytesRemaining_ -= static_cast<std::int32_t>(got);
  frame[kBlockPrefixLength] = static_cast<char>(got);
  if (serial::TComPort* port = FoundPortObject()) {
    port->Write(frame, static_cast<int>(kBlockPrefixLength + 1 + got), false);
  }
  View().SetProgress(View().Progress() + 1);
}

void TWorkflow::NextDataFile() {
  if (dataFileIndex_ >= Record().ExtraFileCount) {
    View().SetProgress(0);
    form_.Events().Unsubscribe(DataFileCallback, this);
    Finish(true);
    return;
  }
  if (!OpenDataFile(dataFileIndex_, 1)) return;
  ++dataFileIndex_;
  View().SetProgress(View().Progress() + 1);
}

// A file that cannot be sent ends the transfer: the step handler goes, the
// file is closed and the run ends with the abort text, OK enabled.
void TWorkflow::StopDataFiles() {
  form_.Events().Unsubscribe(DataFileCallback, this);
  dataFile_.reset();
  sending_ = false;
  View().SetProgress(0);
  Abort(EV_SECOND_FAILED);
}

}  // namespace updater
