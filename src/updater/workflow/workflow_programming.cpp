// TWorkflow: the programming events, from the start of each FileType to the
// second component.
#include "updater/workflow/download_time.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

constexpr std::int32_t kProzTyp5xx = 0x5438;

bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

}  // namespace

bool TWorkflow::HandleProgramming(std::int32_t code, const Event& event) {
  switch (code) {
    case EV_START_MOT: StartMot(); return true;
    case EV_START_TXT: StartTxt(); return true;
    case EV_START_EXE: StartExe(); return true;
    case EV_START_HEX: StartHex(); return true;
    case EV_START_BIN: StartBin(); return true;
    case EV_MAIN_EXTERNAL: MainThroughExternal(); return true;
    case EV_STORE_AND_CLOCK: StoreAndClock(); return true;
    case EV_SECOND_COMPONENT: SecondComponent(); return true;
    case EV_BASIC_LOADER:
      // A download that runs already keeps its scope; a new one replaces both.
      basicLoader_.reset();
      basicLoaderScope_ = std::make_unique<BackEndScope>(*this);
      basicLoader_ = loaders_.StartBasicLoader(basicLoaderScope_->context);
      return true;
    case EV_BOOT_FRAME:
      StopWatchdog();
      Record().BootLoaderId = event.Text() ? event.Text() : "";
      ProgrammingMenu(0, false);
      return true;
    case EV_LAB_ANSWER:
      StopWatchdog();
      labModel_ = static_cast<char>(event.Data);
      ProgrammingMenu(0, true);
      return true;
    case RP_BOOT_LOADER_VERSION:
      // The EMF boot loader's version answers the search's probe; a running
      // EMF loader takes its own replies before they come here.
      if (probeState_ < 3 || ProbeFileType() != FT_BIN) return false;
      StopWatchdog();
      probeState_ = 0;
      ProgrammingMenu(0, true);
      return true;
    case EV_RETRY_BSL: RetryBsl(); return true;
    case EV_PROGRAM_FAILED:
    case EV_SECOND_FAILED:
      Abort(code);
      return true;
    default:
      return false;
  }
}

TWorkflow::BackEndScope::BackEndScope(TWorkflow& workflow)
    : link(workflow.FoundPortObject(), workflow.form_.Ports().Label(workflow.form_.FoundPort())),
      context{workflow.Language(),
              workflow.View(),
              workflow.Output(),
              workflow.form_.Wait(),
              workflow.form_.Events(),
              workflow.form_.Timers(),
              workflow.form_.Loop(),
              [&form = workflow.form_] { form.ProcessEvents(); },
              workflow.Record(),
              link,
              workflow.FoundPortObject(),
              {workflow.StartCmdIndex(),
               [&profiles = workflow.Profiles()](std::int32_t prozTyp) {
                 const char* name = FindProgDefFile(profiles, prozTyp);
                 return std::string(name ? name : "");
               },
               workflow.form_.Paths().workDir, workflow.form_.Paths().programDir},
              [&form = workflow.form_](bool succeeded) {
                form.SetOutcome(succeeded ? RunOutcome::Succeeded : RunOutcome::Failed);
              },
              [&form = workflow.form_] { return form.InterruptSignal() != 0; }} {
  workflow.programmingBegun_ = true;
}

int TWorkflow::RunLoader(loaders::LoaderKind kind, const loaders::ProgramArgs& args) {
  const BackEndRun running(*this);
  const BackEndScope scope(*this);
  return loaders_.Create(kind, scope.context)->Program(args);
}

int TWorkflow::RunExternalHandler(const char* fileName) {
  const std::int32_t fileType = FileType();
  if (fileType < 0 || fileType > FT_HEX) {
    // No external tool takes .BIN images (or a name that names several kinds).
    LogText(Output().Pick(texts::kNoHandlerForBin));
    return 1;
  }
  const auto handler =
      fileType / 2 == 0 ? loaders::ExternalHandler::HexLoad : loaders::ExternalHandler::Pic32Bootloader;
  const BackEndRun running(*this);
  const BackEndScope scope(*this);
  return loaders_.Run(handler, scope.context, fileName);
}

void TWorkflow::ProgramFirstFile() {
  DeviceRecord& record = Record();
  if (record.FirstFile.size() < kMinFirstFileName) {
    phase_ = PH_MAINFILE;
    Post(EV_MAIN_EXTERNAL);
    return;
  }
  LogText(Output().Pick(texts::kProgramming));
  if (RunExternalHandler(record.FirstFile.c_str()) != 0) {
    Post(EV_PROGRAM_FAILED);
    return;
  }
  firstFileDone_ = true;
  form_.StartSecTimer();
  LogText(Output().Pick(texts::kStoring));
  View().SetProgress(1);
}

void TWorkflow::StartMot() {
  if (!FilesReady()) return;
  form_.StopSecTimer();
  View().SetProgress(0);
  ShowDownloadTime(DK_ENTRY);
  if (MainIsNewer(Record(), force_)) {
    programmingBegun_ = true;
    Send(entryCommand_);
  } else {
    phase_ = PH_BASICLOADER;
    Post(EV_SECOND_COMPONENT);
  }
}

loaders::LoaderKind TWorkflow::Msp430LoaderKind() {
  return Record().ProzTyp == kProzTyp5xx ? loaders::LoaderKind::Bsl54xx430 : loaders::LoaderKind::Bsl430;
}

void TWorkflow::StartTxt() {
  if (!FilesReady()) return;
  phase_ = PH_AFTER;
  ShowDownloadTime(DK_BOOTLOADER);
  if (!MainIsNewer(Record(), force_)) {
    Post(EV_SECOND_COMPONENT);
    return;
  }
  if (RunLoader(Msp430LoaderKind(), loaders::Msp430Args{loaderMode_, Record().MainFile.c_str(), true, queryFlag_}) ==
      0) {
    Post(EV_PROGRAM_FAILED);
    return;
  }
  // The firmware starts after load PC and acknowledges once; a disturbed line
  // may garble that one acknowledgement.
  AwaitFirmwareReport();
}

void TWorkflow::DropStartupProgramFiles() {
  DeviceRecord& record = Record();
  const std::int32_t first = startupProgramIndex_;
  const std::int32_t last = lastScannedIndex_;
  // Only a range the identification recorded: the start-up program was found
  // behind entry 0 and the scan ended at or after it.
  if (first <= 0 || last < first || last >= record.ExtraFileCount) return;
  const std::int32_t removed = last - first + 1;
  for (std::int32_t i = first; i + removed < record.ExtraFileCount; ++i) {
    record.ExtraFiles[i] = record.ExtraFiles[i + removed];
  }
  record.ExtraFileCount -= removed;
}

void TWorkflow::StartExe() {
  phase_ = PH_AFTER;
  ShowDownloadTime(DK_LONG);
  winCEDone_ = true;
  DeviceRecord& record = Record();
  if (record.ThirdVersion >= record.ThirdOfferedVersion && record.ThirdVersion > 0) DropStartupProgramFiles();
  if (!FilesReady()) return;
  if (!MainIsNewer(record, force_) && record.ThirdVersion >= record.ThirdOfferedVersion) {
    SetInstrumentClock(false);
    return;
  }
  if (RunLoader(loaders::LoaderKind::WinCE, loaders::WinCEArgs{record.MainFile.c_str(), force_}) == 0) {
    Post(EV_PROGRAM_FAILED);
    return;
  }
  LogText(Output().Pick(texts::kStoring));
  phase_ = PH_AFTER;
  Record().ExtraFileCount = 0;
  SetInstrumentClock(false);
}

void TWorkflow::StartHex() {
  if (!FilesReady()) return;
  form_.StopSecTimer();
  View().SetProgress(0);
  ShowDownloadTime(DK_LONG);
  if (MainIsNewer(Record(), force_)) {
    programmingBegun_ = true;
    Send("A.1200\r\n");
  } else {
    phase_ = PH_BASICLOADER;
    Post(EV_SECOND_COMPONENT);
  }
}

void TWorkflow::StartBin() {
  if (!FilesReady()) return;
  form_.StopSecTimer();
  View().SetProgress(0);
  phase_ = PH_AFTER;
  ShowDownloadTime(DK_LONG);
  if (!MainIsNewer(Record(), force_)) {
    Post(EV_SECOND_COMPONENT);
    return;
  }
  if (RunLoader(loaders::LoaderKind::Emf, loaders::EmfArgs{loaderMode_, Record().MainFile.c_str(), force_}) == 0) {
    Post(EV_PROGRAM_FAILED);
  }
}

void TWorkflow::MainThroughExternal() {
  form_.StopSecTimer();
  View().SetProgress(0);
  Post(RunExternalHandler(Record().MainFile.c_str()) == 0 ? EV_STORE_AND_CLOCK : EV_PROGRAM_FAILED);
}

void TWorkflow::StoreAndClock() {
  if (FileType() != FT_MOT || StartCmdIndex() != 0) {
    // The port was away while the tool ran: the new firmware's
    // acknowledgement, which the ladder waits for, may have gone unheard.
    AwaitFirmwareReport();
    return;
  }
  LogText(Output().Pick(texts::kStoring));
  form_.Wait().DelayTime(12000, false);
  SetInstrumentClock(true);
}

void TWorkflow::RetryBsl() {
  View().EnableOk(false);
  Record().SetDirectBootLoaderStart(true);
  phase_ = PH_AFTER;
  ShowDownloadTime(DK_BOOTLOADER);
  // The retry talks to the part's own boot loader: a 5xx part does not
  // understand the classic one, so retrying with it could never succeed.
  if (RunLoader(Msp430LoaderKind(), loaders::Msp430Args{loaderMode_, Record().MainFile.c_str(), true, false}) == 0) {
    Post(EV_PROGRAM_FAILED);
    return;
  }
  LogText(Output().Pick(texts::kStoring));
  form_.StartSecTimer();
  View().SetProgress(1);
  AwaitFirmwareReport();
}

void TWorkflow::SecondComponent() {
  const DeviceRecord& record = Record();
  if (SecondBySelfUpdate() || SecondByBasicLoader()) {
    StartSecondComponent();
  } else if (SecondByBootLoader()) {
    ProgramSecondComponent();
  } else if (record.ExtraFileCount > 0) {
    StartDataFiles();
    phase_ = PH_DONE;
  } else {
    Finish(false);
  }
}

void TWorkflow::ProgramSecondComponent() {
  DeviceRecord& record = Record();
  if (Contains(record.PcbNumber, "22075") && MainIsNewer(record, force_)) {
    // This instrument restarts slowly after its own update: give it the time
    // with a moving progress bar.
    View().SetProgress(0);
    View().SetProgressMax(100);
    form_.StartSecTimer();
    form_.Wait().DelayTime(32000, true);
    form_.StopSecTimer();
    View().SetProgress(0);
  }
  record.SetDirectBootLoaderStart(false);
  record.SetWithoutSensor(record.SecondVersion == 0 && !BootLoaderSeen());
  const BackEndRun running(*this);
  const BackEndScope scope(*this);
  std::unique_ptr<loaders::ProgrammingLoader> loader = loaders_.Create(loaders::LoaderKind::Bsl430, scope.context);
  form_.Wait().DelayTime(3000, true);
  const bool queryFirst = winCEDone_ || !Record().WithoutSensor();
  if (loader->Program(loaders::Msp430Args{1, Record().SecondComponentFile.c_str(), true, queryFirst}) == 0) {
    Post(EV_SECOND_FAILED);
  }
}

}  // namespace updater
