#pragma once
// TWorkflow: one update run as a state machine on the window's event queue.
//
// A run starts with the OK command (13), searches the ports for the
// instrument, identifies it, decides whether to program, walks through the
// programming steps of the firmware's FileType with the back-ends of its
// LoaderRegistry, and finishes with the service steps (clock, air pressure,
// Lab data, the success text). It is driven by the instrument's replies, its
// own events and the expiries of a 5000 ms watchdog.
//
// Threads and nesting: main thread only. Loaders, delays that process
// messages and modal boxes run nested drains, so the callback is re-entered
// while an earlier event is still being handled; every piece of run state is
// therefore a field of this object, never a local that spans a wait.
//
// Subscription: the window calls Attach() at its start-up, so that the
// workflow is the oldest subscriber and every step handler and loader
// (subscribed later) sees an event before it. The window outlives the
// workflow; the destructor removes every subscription it made.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/events.h"
#include "core/fixed_text.h"
#include "updater/run_workflow.h"
#include "updater/update_form.h"
#include "loaders/com_port_link.h"
#include "loaders/firmware_check.h"
#include "loaders/loader_registry.h"

namespace updater {

class TWorkflow final : public RunWorkflow {
 public:
  static constexpr platform::Tick kWatchdogMs = 5000;
  /// Unanswered identification commands after which the run reports a
  /// transmission error instead of waiting on.
  static constexpr std::int32_t kIdentRetries = 3;

  TWorkflow(TUpdateForm& form, const loaders::LoaderRegistry& loaders);
  ~TWorkflow() override;
  TWorkflow(const TWorkflow&) = delete;
  TWorkflow& operator=(const TWorkflow&) = delete;

  /// Subscribes the workflow's callback to the window's queue.
  void Attach() override;

  // --- the window's handlers ---------------------------------------------------
  /// A serial line error on the port with COM number `number`: the search
  /// moves on to the next baud rate at once.
  void OnLineError(int number) override;
  /// The model menu items (tags 0..3), also the boot loader's announcement.
  void TG77xProgrammingClick(int tag) override;
  /// "Lab XXX", also a Lab instrument's answer to the probe.
  void LabXXXClick() override;
  /// Writes the instrument's clock: seconds since 2002-12-31 or the day form.
  void SetInstrumentClock(bool secondsForm) override;
  /// Asks a running Basic-Loader download to stop.
  void OnClose() override;

  // --- run state, for the front ends and the tests ---------------------------
  std::int32_t Phase() const { return phase_; }
  std::int32_t IdentStep() const { return identStep_; }
  std::int32_t WatchdogSlot() const { return watchdogSlot_; }
  std::int32_t BaudIndex() const { return baudIndex_; }
  std::int32_t ProbeState() const { return probeState_; }
  std::int32_t SearchFailureCount() const { return searchFailureCount_; }
  const char* EntryCommand() const { return entryCommand_.c_str(); }
  std::int32_t LoaderMode() const { return loaderMode_; }
  bool IdentificationFailed() const { return identificationFailed_; }
  bool Force() const { return force_; }
  bool QueryFlag() const { return queryFlag_; }
  bool LineErrorSeen() const { return lineErrorSeen_; }

 private:
  using Event = core::TEventRecord;

  static Event Callback(void* object, core::TEvents& queue, Event event);
  static Event AirPressureCallback(void* object, core::TEvents& queue, Event event);
  static Event RetryCallback(void* object, core::TEvents& queue, Event event);
  static Event DataFileCallback(void* object, core::TEvents& queue, Event event);
  static Event MenuCallback(void* object, core::TEvents& queue, Event event);

  // workflow.cpp: dispatch, run start, identification replies, ladder
  Event Handle(Event event);
  bool HandleMessage(std::int32_t code, const Event& event);
  void RunStart();
  void OnPcbNumber(const char* text);
  void OnDeviceNumber(const char* text);
  void OnVersion(const char* text);
  void OnSerialNumber(const char* text);
  void OnReply920();
  void LadderStep();
  void SendIdentCommand();
  void RefuseInstrument();

  // workflow_programming.cpp: the programming events
  bool HandleProgramming(std::int32_t code, const Event& event);
  void StartMot();
  void StartTxt();
  /// The classic or the 5xx boot-loader family, by the record's processor type.
  loaders::LoaderKind Msp430LoaderKind();
  void StartExe();
  void StartHex();
  void StartBin();
  void MainThroughExternal();
  void StoreAndClock();
  void RetryBsl();
  void SecondComponent();
  void ProgramSecondComponent();
  void ProgramFirstFile();
  void DropStartupProgramFiles();
  /// 0 success; else failure (the handler or this function has told the user).
  int RunExternalHandler(const char* fileName);
  /// Program with a new loader of `kind`, destroyed before returning.
  int RunLoader(loaders::LoaderKind kind, const loaders::ProgramArgs& args);

  /// What one back-end is handed: the found port and the window's services.
  /// Lives as long as the back-end.
  struct BackEndScope {
    explicit BackEndScope(TWorkflow& workflow);
    loaders::ComPortLink link;
    loaders::LoaderContext context;
  };
  /// Marks a back-end that runs to its end inside the current step: an
  /// interruption waits for it to stop at its own safe point.
  struct BackEndRun {
    explicit BackEndRun(TWorkflow& workflow) : workflow_(workflow) { ++workflow_.backEndsRunning_; }
    ~BackEndRun() { --workflow_.backEndsRunning_; }
    BackEndRun(const BackEndRun&) = delete;
    BackEndRun& operator=(const BackEndRun&) = delete;
    TWorkflow& workflow_;
  };
  /// Ends an interrupted run: says so, with the abort text when programming
  /// had begun, and stops everything that would go on.
  void EndInterrupted();

  // workflow_firmware_report.cpp
  /// After a programming: runs the watchdog until the ladder's next step;
  /// asks the instrument when the new firmware's acknowledgement does not come.
  void AwaitFirmwareReport();
  void StopAwaitingReport();
  void ReportOverdue();

  // workflow_search.cpp
  bool SearchStep(bool advance);
  void TryBaudRate();
  void SendBootProbe();
  void ShowBootLoaderHint();
  void SearchFailed();
  /// Reads and drops what the port at `position` holds (bytes at a wrong rate).
  void DiscardInput(int position);
  void WatchdogExpired();
  // Switches the line of every open port; the parameter sets stay as they are.
  void SetLineOfAll(serial::BaudTag baud, serial::StopBitTag stopBits, serial::ParitaetTag parity);
  // The firmware's line settings: the parameter set of the first port.
  serial::V24ParameterTag FirmwareLine();
  // The FileType whose boot loader the probe asks for.
  std::int32_t ProbeFileType();

  // workflow_identify.cpp
  int Identify();
  void UseAnswerAfterComma();
  int SelectProfile(std::size_t answerLength) const;
  bool Refused(int profile) const;
  void ListKnownTypes();
  bool TakeAnswerWithoutSensor();
  void ShowIdentity();
  void ScanExtraFiles();
  void FillRecord(int profile);
  void AddItems(std::string_view list);
  void AddExtraFile(std::string_view name);
  int Decide();

  // workflow_preflight.cpp
  /// Event 10024 lets the instrument update its second component itself.
  bool SecondBySelfUpdate() const;
  /// Event 10024 starts a terminal that reported no version (or one below
  /// the own-update limit) on its Basic-Loader download, as for a newer one.
  bool SecondByBasicLoader() const;
  /// Event 10024 programs the second component with the classic boot loader.
  bool SecondByBootLoader() const;
  /// Every file this run will send from its programming start on.
  std::vector<loaders::FirmwareFile> FilesToSend();
  /// Checks FilesToSend once per run; false after RefuseFile.
  bool FilesReady();
  /// Checks `files`; false after RefuseFile.
  bool FilesPass(const std::vector<loaders::FirmwareFile>& files, bool firmwareRuns);
  /// The Basic-Loader file that reply 208 chose; false after RefuseFile.
  bool TerminalFileReady();
  /// The profile's main file, and its first and second-component files where
  /// it names them, are there; false after RefuseFile.
  bool ProfileFilesFound();
  /// `offered`, read from `file` behind `marker`, is a version, or the
  /// marker asks for none; false after RefuseFile.
  bool VersionFound(std::string_view offered, std::string_view marker, std::string_view file);
  /// Tells the user which file is refused and why, ends the run as a
  /// configuration error and, when the instrument runs its firmware, sends
  /// it back to its measuring mode.
  void RefuseFile(const loaders::FileVerdict& verdict, bool firmwareRuns);

  // workflow_identify_only.cpp
  /// Identify's results besides 0 (do not program) and 1 (program).
  static constexpr int kIdentifiedOnly = 2;   ///< the run only identifies
  static constexpr int kFileRefused = 3;      ///< a file of the installation was refused
  static constexpr int kUpdateConfirmed = 4;  ///< the version just programmed was found (see confirmNextRun_)
  int GiveVerdict();
  void EndIdentifyOnly();
  bool AskYes(std::string_view text, std::string_view caption);
  std::string ReadOfferedVersion(const char* marker, const char* fileName);

  // workflow_service.cpp
  void Finish(bool sendU606);
  Event AirPressureStep(Event event);
  void StartSecondComponent();
  void ShowDownloadTime(std::int32_t kind);
  void Abort(std::int32_t code);
  Event RetryOnOk(Event event);
  void CloseOtherPorts();
  void ShowFileError(std::string_view fileName);

  // workflow_lab.cpp
  void StartDataFiles();
  Event DataFileStep(Event event);
  void NextDataFile();
  bool OpenDataFile(std::int32_t index, std::int32_t progressExtra);
  void SendDataBlock();
  void StopDataFiles();

  // workflow_menu.cpp
  void ProgrammingMenu(int model, bool lab);
  Event MenuStep(Event event);
  void MenuExternal();
  void MenuLabBootLoader();
  std::string LabMainFile();

  // --- helpers --------------------------------------------------------------
  DeviceRecord& Record() { return form_.Record(); }
  DeviceProfiles& Profiles() { return form_.Profiles(); }
  std::int32_t FileType() { return form_.Profiles().FileType; }
  std::int32_t StartCmdIndex() { return form_.Profiles().StartCmdIndex; }
  UpdateView& View() { return form_.View(); }
  TWindowOutput& Output() { return form_.Output(); }
  int Language() const { return form_.Language(); }
  serial::TComPort* FoundPortObject() { return form_.Ports().At(form_.FoundPort()); }
  void Post(std::int32_t code) { form_.Events().PostMessage(code); }
  void Send(std::string_view command);
  void LogText(std::string_view text) { Output().Log(text); }
  bool BootLoaderSeen() const { return form_.Parser().AnswerSeen(); }
  void StopWatchdog();

  TUpdateForm& form_;
  const loaders::LoaderRegistry& loaders_;

  // Run state (the run start resets what it says in RunStart).
  std::int32_t phase_ = 0;
  std::int32_t identStep_ = 0;
  std::int32_t watchdogSlot_ = 0;
  core::FixedText<16> entryCommand_ = "A.1200\r\n";
  std::int32_t loaderMode_ = 0;
  bool identificationFailed_ = false;
  bool firstFileDone_ = false;
  bool reply262Seen_ = false;
  bool invalidVersion_ = false;
  bool lineErrorSeen_ = false;
  bool winCEDone_ = false;
  bool force_ = false;
  // Set when a boot loader found by the probe was given the installation's
  // firmware: the next run's identification confirms it. confirmingRun_ holds
  // it for that run only.
  bool confirmNextRun_ = false;
  bool confirmingRun_ = false;
  bool probeFirst_ = false;
  bool settling_ = false;  ///< a boot loader's new firmware starts up (MenuLabBootLoader)  ///< the next run starts with the boot-loader probe (Lab XXX)
  bool queryFlag_ = false;
  bool filesChecked_ = false;  ///< FilesReady has checked this run's files
  char labModel_ = 0;
  std::int32_t probeState_ = 0;
  bool awaitingReport_ = false;     ///< see AwaitFirmwareReport
  std::int32_t reportPhase_ = 0;    ///< the ladder's phase when the wait began
  std::int32_t reportChecks_ = 0;   ///< watchdog periods of the wait

  // Search.
  std::int32_t baudIndex_ = -1;
  std::int32_t currentBaud_ = 0;
  bool hintShown_ = false;
  std::int32_t searchFailureCount_ = 0;
  std::int32_t identRetries_ = 0;  ///< unanswered identification commands
  bool searchBusy_ = false;        ///< a search step or line-error wait is under way

  // Identification.
  std::int32_t startupProgramIndex_ = 0;
  std::int32_t lastScannedIndex_ = 0;
  bool extraFilesDropped_ = false;  ///< the >200 extra-file note was logged in this fill

  // Lab data transfer.
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, FileCloser> dataFile_;
  std::int32_t dataFileIndex_ = 0;
  std::int32_t bytesRemaining_ = 0;
  bool sending_ = false;

  // Interruption.
  bool programmingBegun_ = false;     ///< a back-end or an entry command has run in this run
  std::int32_t backEndsRunning_ = 0;  ///< see BackEndRun
  bool interruptReported_ = false;

  std::unique_ptr<BackEndScope> basicLoaderScope_;
  std::unique_ptr<loaders::BackgroundLoader> basicLoader_;
  bool attached_ = false;
};

/// The maker that gives every window a TWorkflow with `loaders` (which must
/// outlive the windows).
WorkflowMaker WorkflowWith(const loaders::LoaderRegistry& loaders);

}  // namespace updater
