// TWorkflow: the files of a run, checked before the instrument is asked to
// start a boot loader or to let one erase. A file that would be refused later
// ends the run here as a configuration error, with a message that names it,
// and the instrument is sent back to its measuring mode with its firmware
// untouched.
#include "loaders/bsl430.h"
#include "loaders/loader_texts.h"
#include "loaders/term_prog.h"
#include "updater/workflow/download_time.h"
#include "updater/workflow/offered_version.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

using loaders::FirmwareFile;
using loaders::FirmwareKind;

constexpr std::int32_t kSecondNeedsOwnUpdate = 200;

// Combined read modes (an S-record marker in a program file, ...) search for
// nothing, so finding nothing tells nothing about the file.
bool ModeSearches(std::int32_t mode) {
  return mode == VR_HEAD || mode == VR_SRECORD || mode == VR_PROGRAM || mode == VR_BINARY;
}

// The main file (and the first file before it) by the loader that sends it.
void AddMainFiles(const DeviceRecord& record, std::int32_t fileType, bool classic,
                  std::vector<FirmwareFile>& files) {
  switch (fileType) {
    case FT_MOT:
    case FT_HEX:
      if (record.FirstFile.size() >= kMinFirstFileName)
        files.push_back({std::string(record.FirstFile), FirmwareKind::Tool});
      files.push_back({std::string(record.MainFile), FirmwareKind::Tool});
      break;
    case FT_TXT:
      files.push_back(
          {std::string(record.MainFile), classic ? FirmwareKind::Classic : FirmwareKind::Msp5xx});
      if (classic) files.push_back({loaders::T_BSL430::kPatchFile, FirmwareKind::BslPatch});
      break;
    case FT_BIN:
      files.push_back({std::string(record.MainFile), FirmwareKind::Emf});
      break;
    default:
      break;
  }
}

void AddExtraFiles(const DeviceRecord& record, FirmwareKind kind,
                   std::vector<FirmwareFile>& files) {
  for (std::int32_t i = 0; i < record.ExtraFileCount; ++i) {
    files.push_back({std::string(record.ExtraFiles[static_cast<std::size_t>(i)]), kind});
  }
}

}  // namespace

bool TWorkflow::SecondBySelfUpdate() const {
  const DeviceRecord& record = form_.Record();
  return SecondIsNewer(record, force_) && record.SecondVersion > kSecondNeedsOwnUpdate;
}

// A terminal whose download broke comes up without a firmware: the
// instrument then reports nothing after "," (second version 0), which is
// below the own-update limit and would send the terminal's file to the MSP430
// boot loader. That file is S-records for the terminal's Basic-Loader, which
// no MSP430 boot loader takes: the instrument is asked for its terminal
// (A.2005, reply 208) as for a newer terminal version, and reply 208 chooses
// the file.
bool TWorkflow::SecondByBasicLoader() const {
  const DeviceRecord& record = form_.Record();
  return !SecondBySelfUpdate() &&
         loaders::TermProg::IsTerminalFile(record.SecondComponentFile.view()) &&
         SecondIsNewer(record, force_);
}

bool TWorkflow::SecondByBootLoader() const {
  const DeviceRecord& record = form_.Record();
  return !SecondBySelfUpdate() && !SecondByBasicLoader() && !reply262Seen_ &&
         !BootLoaderSeen() && !invalidVersion_ &&
         record.SecondVersion < record.SecondOfferedVersion &&
         record.SecondComponentFile.size() >= kMinSecondFileName;
}

std::vector<FirmwareFile> TWorkflow::FilesToSend() {
  const DeviceRecord& record = Record();
  std::vector<FirmwareFile> files;
  if (FileType() == FT_EXE) {
    // The WinCE transfer copies the main file and every extra file.
    if (MainIsNewer(record, force_) || record.ThirdVersion < record.ThirdOfferedVersion) {
      files.push_back({std::string(record.MainFile), FirmwareKind::WinCE});
      AddExtraFiles(record, FirmwareKind::WinCE, files);
    }
    return files;
  }
  if (MainIsNewer(record, force_)) {
    AddMainFiles(record, FileType(), Msp430LoaderKind() == loaders::LoaderKind::Bsl430, files);
  }
  if (SecondByBootLoader()) {
    files.push_back({std::string(record.SecondComponentFile), FirmwareKind::Classic});
    files.push_back({loaders::T_BSL430::kPatchFile, FirmwareKind::BslPatch});
  }
  AddExtraFiles(record, FirmwareKind::LabData, files);
  return files;
}

bool TWorkflow::FilesReady() {
  if (filesChecked_) return true;
  filesChecked_ = true;
  return FilesPass(FilesToSend(), true);
}

bool TWorkflow::FilesPass(const std::vector<FirmwareFile>& files, bool firmwareRuns) {
  const loaders::FileVerdict verdict = loaders::CheckFirmwareFiles(form_.Paths().workDir, files);
  if (!verdict.Ok()) RefuseFile(verdict, firmwareRuns);
  return verdict.Ok();
}

bool TWorkflow::TerminalFileReady() {
  const char* name = loaders::TermProg::FileFor(Record().Reply208Byte);
  return FilesPass({{name, FirmwareKind::Terminal}}, true);
}

bool TWorkflow::ProfileFilesFound() {
  const DeviceRecord& record = Record();
  std::vector<std::string_view> names{record.MainFile.view()};
  if (record.FirstFile.size() >= kMinFirstFileName) names.push_back(record.FirstFile.view());
  if (record.SecondComponentFile.size() >= kMinSecondFileName)
    names.push_back(record.SecondComponentFile.view());
  for (std::string_view name : names) {
    const loaders::FileVerdict verdict = loaders::CheckFileFound(form_.Paths().workDir, name);
    if (!verdict.Ok()) {
      RefuseFile(verdict, true);
      return false;
    }
  }
  return true;
}

bool TWorkflow::VersionFound(std::string_view offered, std::string_view marker,
                             std::string_view file) {
  if (!offered.empty() || marker.empty() || !ModeSearches(VersionReadModeOf(marker, file)))
    return true;
  RefuseFile({std::string(file), loaders::TiTxtError::NoVersion}, true);
  return false;
}

void TWorkflow::RefuseFile(const loaders::FileVerdict& verdict, bool firmwareRuns) {
  View().MessageBox(
      loaders::FileRefusalMessage(verdict.error, verdict.name, verdict.line, Language()).view(),
      Output().Pick(texts::kCaptionFehler), BoxIcon::Error, BoxButtons::Ok);
  // The ladder stops here: an acknowledgement of the resume command starts nothing.
  identificationFailed_ = true;
  View().EnableOk(true);
  if (firmwareRuns) Send(ResumeCommandOf(FileType()));
  form_.SetOutcome(RunOutcome::ConfigError);
}

}  // namespace updater
