#include "loaders/external_tools.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "loaders/external_texts.h"
#include "loaders/hex_load.h"
#include "loaders/library_progress.h"
#include "loaders/session_texts.h"
#include "loaders/tool_command.h"
#include "platform/environment.h"

namespace loaders {
namespace {

constexpr const char* kPortsVariable = "UPDATER_PORTS";
constexpr std::size_t kMinMainFileName = 5;
constexpr int kStarts = 3;
constexpr int kTryAgain = 1;
constexpr int kFailed = 1;
constexpr int kLibraryBarMax = 105;
constexpr platform::Tick kTitleTickMs = 300;
constexpr platform::Tick kLibraryStepMs = 1000;
constexpr platform::Tick kProcessStepMs = 200;
constexpr long kBeforeToolMs = 1000;
constexpr platform::Tick kAfterHexLoadMs = 1000;
constexpr platform::Tick kAfterPic32Ms = 1500;
constexpr long kHexLoadSettleMs = 500;
constexpr long kPic32SettleMs = 200;
constexpr long kHexLoadBytesPerTick = 2000;
constexpr long kPic32BytesPerTick = 800;
constexpr std::int32_t kStartCmdLeaves9600Odd = 2;

// UPDATER_PORTS of this process set to `value` for the life of the object,
// then as it was: the serial driver reads it too, and a map that was
// discovered must stay discovered.
class ScopedPortsVariable {
 public:
  explicit ScopedPortsVariable(const std::string& value) {
    if (const char* old = std::getenv(kPortsVariable)) old_ = old;
    platform::SetEnvironmentVariable(kPortsVariable, value);
  }
  ~ScopedPortsVariable() {
    if (old_) {
      platform::SetEnvironmentVariable(kPortsVariable, *old_);
    } else {
      platform::UnsetEnvironmentVariable(kPortsVariable);
    }
  }
  ScopedPortsVariable(const ScopedPortsVariable&) = delete;
  ScopedPortsVariable& operator=(const ScopedPortsVariable&) = delete;

 private:
  std::optional<std::string> old_;
};

using Operation = int (TExternalProgramming::*)(const char*);

int HandOff(const LoaderContext& context, const char* file, Operation operation) {
  if (context.portObject == nullptr || !context.portObject->IsOpen()) {
    context.view.MessageBox(external::NoPortMessage(context.language),
                            kCaptionError.Pick(context.language), updater::BoxIcon::Error,
                            updater::BoxButtons::Ok);
    return 1;
  }
  ComPortHandOff port(*context.portObject, context.loop);
  TExternalProgramming programming(context, port,
                                   {context.config.programDir, platform::ExecutableDirectory()});
  return (programming.*operation)(file);
}

}  // namespace

TExternalProgramming::TExternalProgramming(const LoaderContext& context, HandOffPort& port,
                                           std::vector<std::string> folders)
    : context_(context),
      port_(port),
      folders_(std::move(folders)),
      titleTimer_(context.loop.CreateTimer([this] { OnTitleTick(); })) {
  titleTimer_->SetInterval(kTitleTickMs);
}

TExternalProgramming::~TExternalProgramming() = default;

int TExternalProgramming::RunHexLoad(const char* file) {
  context_.view.ShowPanel(updater::Panel::Wait, false);
  if (context_.record.MainFile.size() < kMinMainFileName) return kFailed;
  port_.Release();
  const std::string path = FileForTool(context_.config.workDir, file);
  SetTitleProgress(path, kHexLoadBytesPerTick);
  const M16Library library = LoadM16Library(folders_);
  int code = 0;
  if (library) {
    code = RunLibrary(library, path);
  } else {
    context_.wait.DelayTime(kBeforeToolMs, true);
    code =
        RunTool(kHexLoadTool,
                HexLoadArguments(path, port_.Index() + 1, context_.record.KeepsBootLoaderRate(0)),
                kAfterHexLoadMs);
  }
  if (!Retake(code == 0 && context_.config.startCmdIndex == kStartCmdLeaves9600Odd)) return kFailed;
  context_.wait.DelayTime(kHexLoadSettleMs, false);
  context_.output.ReportProgress("", -1.0f);
  return code;
}

int TExternalProgramming::RunPic32Bootloader(const char* file) {
  context_.view.ShowPanel(updater::Panel::Wait, false);
  if (context_.record.MainFile.size() < kMinMainFileName) return kFailed;
  const std::string path = FileForTool(context_.config.workDir, file);
  const auto arguments = Pic32Arguments(path, port_.Index());
  if (!arguments) {
    ShowError(external::Pic32PortMessage(port_.Index() + 1, context_.language));
    return kFailed;
  }
  port_.Release();
  context_.wait.DelayTime(kBeforeToolMs, true);
  SetTitleProgress(path, kPic32BytesPerTick);
  const int code = RunTool(kPic32Tool, *arguments, kAfterPic32Ms);
  if (!Retake(false)) return kFailed;
  context_.wait.DelayTime(kPic32SettleMs, true);
  context_.output.ReportProgress("", -1.0f);
  return code;
}

int TExternalProgramming::RunLibrary(const M16Library& library, const std::string& file) {
  if (file.size() >= kM16FileNameUnits) {
    ShowError(external::NameTooLongMessage(file, context_.language));
    return kFailed;
  }
  context_.view.SetProgress(0);
  context_.view.SetProgressMax(kLibraryBarMax);
  context_.wait.DelayTime(kBeforeToolMs, true);
  const ScopedPortsVariable ports(port_.DeviceList());
  const int code = WaitForLibrary(library.functions, file);
  if (code != 0) ShowError(external::LibraryFailedMessage(context_.language));
  return code;
}

int TExternalProgramming::WaitForLibrary(const M16Functions& functions, const std::string& file) {
  LibraryProgress progress(context_.loop);
  THexLoad driver(functions, context_.loop.GetClock(), progress);
  driver.StartUpdate(WideFileName(file), port_.Index() + 1);
  while (!progress.Deliver(context_.view, context_.output)) {
    context_.loop.WaitForMessage(context_.loop.GetClock().Now() + kLibraryStepMs);
    context_.loop.ProcessPendingMessages();
  }
  return driver.Succeeded() ? 0 : kFailed;
}

int TExternalProgramming::RunTool(const char* tool, const std::vector<std::string>& arguments,
                                  platform::Tick pauseAfterMs) {
  const platform::ProcessStart start{
      FindTool(folders_, tool), arguments, {{kPortsVariable, port_.DeviceList()}}};
  int code = kTryAgain;
  for (int attempt = 1; attempt <= kStarts && code == kTryAgain; ++attempt) {
    if (attempt > 1) context_.output.Log(external::StartAgainNote(tool, context_.language));
    code = RunOnce(start, pauseAfterMs);
  }
  if (code == platform::ChildProcess::kEndUnknown) {
    ShowError(external::ToolEndUnknownMessage(tool, context_.language));
  } else if (code != 0 && code != kNotStarted) {
    ShowError(external::ToolFailedMessage(tool, code, context_.language));
  }
  return code;
}

int TExternalProgramming::RunOnce(const platform::ProcessStart& start,
                                  platform::Tick pauseAfterMs) {
  StartTitle();
  const platform::StartResult started = platform::StartProcess(start);
  if (!started) {
    StopTitle();
    ShowError(external::NotStartedMessage(start.program, started.error, context_.language));
    return kNotStarted;
  }
  WaitForEnd(*started.process);
  StopTitle();
  context_.wait.DelayTime(static_cast<long>(pauseAfterMs), true);
  return started.process->ExitCode();
}

void TExternalProgramming::WaitForEnd(platform::ChildProcess& process) {
  while (!process.WaitForEnd(kProcessStepMs)) context_.loop.ProcessPendingMessages();
}

bool TExternalProgramming::Retake(bool leaveAt9600Odd) {
  if (!port_.Retake()) return false;
  if (leaveAt9600Odd) {
    port_.SetLine(serial::B__9600, serial::S_2, serial::Odd, false);
  } else {
    port_.RestoreLine();
  }
  return true;
}

void TExternalProgramming::SetTitleProgress(const std::string& file, long bytesPerTick) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  expectedTicks_ = error ? 0.0f : static_cast<float>(static_cast<long long>(size) / bytesPerTick);
  if (expectedTicks_ <= 0.0f) expectedTicks_ = 1.0f;
  titleTicks_ = 0;
}

void TExternalProgramming::StartTitle() {
  titleTicks_ = 0;
  titleTimer_->SetEnabled(true);
}

void TExternalProgramming::StopTitle() { titleTimer_->SetEnabled(false); }

void TExternalProgramming::OnTitleTick() {
  ++titleTicks_;
  context_.output.ReportProgress("", static_cast<float>(titleTicks_) / expectedTicks_ * 100.0f);
}

void TExternalProgramming::ShowError(std::string_view text) const {
  context_.view.MessageBox(text, kCaptionError.Pick(context_.language), updater::BoxIcon::Error,
                           updater::BoxButtons::Ok);
}

int RunHexLoad(const LoaderContext& context, const char* file) {
  return HandOff(context, file, &TExternalProgramming::RunHexLoad);
}

int RunPic32Bootloader(const LoaderContext& context, const char* file) {
  return HandOff(context, file, &TExternalProgramming::RunPic32Bootloader);
}

}  // namespace loaders
