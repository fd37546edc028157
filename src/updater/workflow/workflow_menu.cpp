// TWorkflow: programming started from the model menu, by a boot loader that
// announced itself, or by a Lab instrument, and its step handler.
#include <filesystem>

#include "platform/files.h"
#include "updater/workflow/workflow.h"
#include "updater/workflow/workflow_codes.h"
#include "updater/workflow/workflow_texts.h"

namespace updater {
namespace {

constexpr std::int32_t kProzTyp5xx = 0x5438;
constexpr std::size_t kMinProgDefFileName = 5;
constexpr std::string_view kLabFile = "LABXXX.TXT";

}  // namespace

void TWorkflow::TG77xProgrammingClick(int tag) { ProgrammingMenu(tag, false); }

void TWorkflow::LabXXXClick() {
  // Chosen before any run found the instrument: it waits in its boot loader
  // on some port, so a run that starts with the boot-loader probe finds it,
  // and its answer leads here again with the port known.
  if (form_.FoundPort() < 0) {
    probeFirst_ = true;
    RunStart();
    return;
  }
  ProgrammingMenu(0, true);
}

void TWorkflow::ProgrammingMenu(int model, bool lab) {
  // One conversation on the port at a time: however programming starts (a
  // click, a boot loader's or a Lab instrument's announcement), neither menu
  // may start a second one while loader waits keep the window usable.
  View().EnableMenuItem(MenuItem::Programming, false);
  View().EnableMenuItem(MenuItem::LabXXX, false);
  const std::vector<DeviceProfile>& table = Profiles().Table;
  if (lab && labModel_ == 'Q' && table.size() > 1) model = 1;
  if (model < 0 || static_cast<std::size_t>(model) >= table.size()) return;
  const DeviceProfile& profile = table[static_cast<std::size_t>(model)];
  DeviceRecord& record = Record();
  record.PcbNumber = profile.DeviceNrDef.view();
  record.MainFile = profile.ProgFile2.view();
  record.FirstFile = profile.ProgFile1.view();
  record.DeviceNumber = profile.DeviceNr.view();
  record.DeviceName = profile.DeviceName.view();
  record.SecondComponentFile = profile.ProgFile3.view();
  if (!lab) record.ProgDefFile = profile.ProgDefFile.view();
  // This programming starts without a run start: the extra files of an
  // earlier choice must not be sent a second time.
  record.ExtraFileCount = 0;
  const int decision = Identify();
  if (decision != 1) {
    if (decision != kFileRefused) form_.SetOutcome(RunOutcome::NotProgrammed);
    return;
  }
  if (lab) record.SetDirectBootLoaderStart(true);
  Post(lab ? EV_LAB_PROGRAM : EV_LADDER_STEP);
  form_.Events().Subscribe(MenuCallback, this);
  if (table.size() > 1) {
    record.DeviceName = "Device";
    View().SetIdentityField(IdentityField::Name, "Device");
    View().SetIdentityField(IdentityField::Pcb, "");
  }
  form_.ProcessEvents();
}

core::TEventRecord TWorkflow::MenuCallback(void* object, core::TEvents&, Event event) {
  return static_cast<TWorkflow*>(object)->MenuStep(event);
}

core::TEventRecord TWorkflow::MenuStep(Event event) {
  if (event.Kind != core::EVT_MSG) return event;
  switch (event.Code) {
    case 30:
    case EV_ACKNOWLEDGE:
      if (settling_) return {};  // the new firmware's start-up, see MenuLabBootLoader
      // The instrument runs again: a normal run identifies it anew.
      form_.Events().Unsubscribe(MenuCallback, this);
      form_.Events().PostCommand(CMD_START);
      View().ClearLog();
      return {};
    case 920:
      return {};
    case EV_PROGRAM_FAILED:
    case EV_SECOND_FAILED:
      Abort(event.Code);
      return {};
    case EV_LADDER_STEP:
      MenuExternal();
      return {};
    case EV_LAB_PROGRAM:
      MenuLabBootLoader();
      return {};
    default:
      return event;
  }
}

void TWorkflow::MenuExternal() {
  // The instrument waits in its boot loader: nothing to send it back to.
  if (!FilesPass({{std::string(Record().ProgDefFile.view()), loaders::FirmwareKind::Tool}}, false)) {
    form_.Events().Unsubscribe(MenuCallback, this);
    return;
  }
  LogText(Output().Pick(texts::kProgramming));
  View().EnableOk(false);
  if (RunExternalHandler(Record().ProgDefFile.c_str()) != 0) {
    Post(EV_PROGRAM_FAILED);
    return;
  }
  LogText(Output().Pick(texts::kStoring));
  form_.StartSecTimer();
  View().SetProgress(1);
  form_.Wait().DelayTime(9000, true);
  View().ClearLog();
  firstFileDone_ = true;
  form_.Events().Unsubscribe(MenuCallback, this);
  form_.Events().PostCommand(CMD_START);
}

void TWorkflow::MenuLabBootLoader() {
  View().EnableOk(false);
  DeviceRecord& record = Record();
  const bool emf = FileType() == FT_BIN;
  const bool fiveXx = record.ProzTyp == kProzTyp5xx || (labModel_ == 'Q' && BootLoaderSeen());
  // An EMF boot loader gets the installation's image.
  if (!emf) record.MainFile = LabMainFile();
  const loaders::FirmwareKind kind = emf      ? loaders::FirmwareKind::Emf
                                     : fiveXx ? loaders::FirmwareKind::Msp5xx
                                              : loaders::FirmwareKind::Classic;
  if (!FilesPass({{std::string(record.MainFile.view()), kind}}, false)) {
    form_.Events().Unsubscribe(MenuCallback, this);
    return;
  }
  const int result =
      emf ? RunLoader(loaders::LoaderKind::Emf, loaders::EmfArgs{loaderMode_, record.MainFile.c_str(), false})
          : RunLoader(fiveXx ? loaders::LoaderKind::Bsl54xx430 : loaders::LoaderKind::Bsl430,
                      loaders::Msp430Args{loaderMode_, record.MainFile.c_str(), false, false});
  if (result == 0) {
    Post(EV_PROGRAM_FAILED);
    form_.Events().Unsubscribe(MenuCallback, this);
    return;
  }
  LogText(Output().Pick(texts::kStoring));
  View().SetProgress(1);
  const bool labFirmware = record.ProgDefFile.size() >= kMinProgDefFileName || record.MainFile.view() == kLabFile;
  if (serial::TComPort* port = FoundPortObject(); port != nullptr && labFirmware) {
    port->ChangeV24Parameter(serial::B__4800, serial::S_2, serial::NoParity, true);
  }
  // The new firmware acknowledges once while it starts, at a rate this run may
  // not have seen (a blank instrument's) or garbled while the line changes:
  // waiting for it could wait for good. The start-up time passes, then a new
  // run finds the firmware at every rate, and its identification confirms the
  // update instead of offering the same version again.
  settling_ = true;
  form_.Wait().DelayTime(3000, true);
  settling_ = false;
  confirmNextRun_ = true;
  View().ClearLog();
  form_.Events().PostCommand(CMD_START);
  form_.Events().Unsubscribe(MenuCallback, this);
}

// The Lab file, unless the profile names its own; an installation without a
// Lab file offers its instrument's main file, which is what a boot loader
// found by the probe (a blank instrument, or one left in its boot loader
// after a failed run) must be given back.
std::string TWorkflow::LabMainFile() {
  const DeviceRecord& record = Record();
  if (record.ProgDefFile.size() >= kMinProgDefFileName) return std::string(record.ProgDefFile.view());
  const bool labFileThere =
      std::filesystem::is_regular_file(platform::ResolveCaseless(form_.Paths().workDir, kLabFile));
  return labFileThere || record.MainFile.empty() ? std::string(kLabFile) : std::string(record.MainFile.view());
}

}  // namespace updater
