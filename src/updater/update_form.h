#pragma once
// TUpdateForm: the logic of the application's one window, without a toolkit.
//
// It owns the event queue and its drain, the timer pool (Timer1..Timer5), the
// delay component `wait`, SecTimer and TitleTimer, the configuration (settings,
// profiles, texts, catalogue), the port table, the reply parser and the
// DeviceRecord of the current run. It talks to the window only through an
// UpdateView and receives the serial notifications through the message loop:
// WM_V24_RXDATA becomes event 10000 on the queue, WM_V24_LINEERROR goes to
// the search's line-error handler.
//
// Lifetime: construct, then Start (the start-up); Close runs the closing and
// then asks the view to close the window. Every operation runs on the main
// thread; handlers are re-entered through nested message loops, so run state
// lives in fields, never in locals that span a wait.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/delay.h"
#include "core/event_drain.h"
#include "core/events.h"
#include "core/timer_pool.h"
#include "platform/message_loop.h"
#include "updater/device_profiles.h"
#include "updater/device_record.h"
#include "updater/event_codes.h"
#include "updater/firmware_catalogue.h"
#include "updater/port_table.h"
#include "updater/reply_parser.h"
#include "updater/run_log.h"
#include "updater/run_workflow.h"
#include "updater/update_settings.h"
#include "updater/update_view.h"
#include "updater/window_output.h"

namespace updater {

/// Where the installation is. In a normal installation both are the same
/// folder; the console's --dir sets both.
struct Installation {
  std::string workDir;     ///< configuration and firmware files (the working directory)
  std::string programDir;  ///< the firmware catalogue (the executable's directory)
};

/// How the last run ended, for front ends that report it (the console's exit
/// code). The workflow sets it whenever a run ends.
enum class RunOutcome {
  None,           ///< no run has ended yet
  Succeeded,      ///< the instrument was updated
  Failed,         ///< programming failed or was aborted
  NotProgrammed,  ///< not programmed by decision (wrong or newer instrument, declined)
  NotFound,       ///< no instrument was found (or no port could be opened)
  Identified,     ///< identified without programming, as asked (see SetIdentifyOnly)
  Interrupted,    ///< the user interrupted the run (see TUpdateForm::InterruptSignal)
  ConfigError,    ///< a firmware file of the installation was refused before anything was sent
};

/// The hidden key combinations of the window.
enum class HiddenKey {
  SetClock,            ///< Shift+F7: write the instrument's clock
  ToggleDebug,         ///< Ctrl+F5: debug mode (command log in the log area)
  ToggleVersionCheck,  ///< Ctrl+Alt+F6: refuse newer instrument software or not
};

/// Command code of the OK button (the run start).
inline constexpr std::int32_t CMD_START = 13;
/// Window message that asks the window to close (any thread may post it, for
/// example a front end that was interrupted).
inline constexpr std::uint32_t WM_CLOSE_REQUEST = 0x0010;
/// Window message of a front end whose user interrupted the program (Ctrl+C,
/// SIGTERM); param: the signal number. The run stops at its next safe point
/// (see TUpdateForm::InterruptSignal); any thread may post it.
inline constexpr std::uint32_t WM_INTERRUPT = 0x8001;

class TUpdateForm : private ReplyListener {
 public:
  static constexpr int kTimerCount = 5;              ///< Timer1..Timer5
  static constexpr platform::Tick kSecTimerMs = 500;
  static constexpr platform::Tick kTitleTimerMs = 300;
  static constexpr int kProgressMaxAtStart = 40;

  TUpdateForm(platform::MessageLoop& loop, UpdateView& view, Installation installation);
  ~TUpdateForm() override;
  TUpdateForm(const TUpdateForm&) = delete;
  TUpdateForm& operator=(const TUpdateForm&) = delete;

  /// The start-up: settings, profiles, catalogue, start text, translation,
  /// ports. False when a configuration file is missing: the message was shown
  /// and the window closed.
  bool Start();
  /// The closing: the stop panel, every port closed and released; then the
  /// view closes the window. Runs once; later calls do nothing.
  void Close();
  bool Closed() const { return closed_; }

  // --- the window's handlers ---------------------------------------------------
  void OkBitBtnClick();
  void TG77xProgrammingClick(int tag);
  void LabXXXClick();
  void LanguageClick(int tag);
  void ReadmeClick();
  void SWVersionClick();
  void FormKeyUp(HiddenKey key);

  // --- shared state of the run -------------------------------------------------
  core::TEvents& Events() { return events_; }
  core::TTimerPool& Timers() { return timers_; }
  platform::MessageLoop& Loop() { return loop_; }
  core::TDelay& Wait() { return wait_; }
  TWindowOutput& Output() { return output_; }
  UpdateView& View() { return view_; }
  TPortTable& Ports() { return ports_; }
  TReplyParser& Parser() { return parser_; }
  const UpdateSettings& Settings() const { return settings_; }
  DeviceProfiles& Profiles() { return profiles_; }
  const FileCatalogue& Catalogue() const { return catalogue_; }
  DeviceRecord& Record() { return *record_; }
  const Installation& Paths() const { return installation_; }
  int Language() const { return settings_.Language; }

  /// Position in the port table of the port the instrument answered on; -1 none.
  int FoundPort() const { return foundPort_; }
  void SetFoundPort(int position) { foundPort_ = position; }
  bool VersionCheck() const { return versionCheck_; }
  std::int32_t AirPressureRow() const { return airPressureRow_; }
  void SetAirPressureRow(std::int32_t row) { airPressureRow_ = row; }

  /// The signal with which the user interrupted the program; 0 while not
  /// interrupted. Once set, no back-end starts a new frame: the one on the
  /// line is answered, the port gets its settings back, and the run ends with
  /// RunOutcome::Interrupted.
  int InterruptSignal() const { return interruptSignal_; }

  RunOutcome Outcome() const { return outcome_; }
  /// Also notes a run's end in the run log.
  void SetOutcome(RunOutcome outcome);

  /// Runs search and identify only: the identity and the version check's
  /// verdict are shown, the instrument is sent back to its measuring mode,
  /// nothing is programmed (RunOutcome::Identified).
  void SetIdentifyOnly(bool on) { identifyOnly_ = on; }
  bool IdentifyOnly() const { return identifyOnly_; }

  /// The run log: everything on the line, kept for "Save run log..." and,
  /// once a file is opened on it, written as the run goes.
  RunLog& Trace() { return runLog_; }

  /// When no port of the table is open: scans and opens the ports again (a
  /// port may have been plugged in or freed since). False when still none is
  /// open; the reasons were shown.
  bool EnsurePortsOpen();

  // --- operations --------------------------------------------------------------
  /// Drains the event queue (delivering window messages between events).
  core::TEventRecord ProcessEvents();
  /// Reads the new data of the port with COM number `number` and posts the
  /// events of its replies. Ignores ports that are not in the table.
  void ParseReplies(int number);
  /// Writes to every port of the table, synchronously.
  void SendToAll(const char* data, int length = -1);
  /// Writes a command to the found port (nothing when none was found yet).
  /// Returns the serial component's result, or TComPort::kClosed without port.
  int WriteCommand(const char* text);
  /// Writes a command to the found port and logs it (debug mode).
  void SendCommand(const char* text);
  /// Adds the start text of the current language, placeholders replaced.
  void ShowStartText();
  /// Writes the language back to "Update.ini"; 0, or -1 after the message.
  int SaveLanguage(const std::string& fileName);

  /// While on, every 500 ms the wait progress bar advances by 1.
  void StartSecTimer() { secTimer_->SetEnabled(true); }
  void StopSecTimer() { secTimer_->SetEnabled(false); }
  /// While on, every 300 ms the title shows ticks / expected ticks as percent.
  void StartTitleTimer(float expectedTicks);
  void StopTitleTimer() { titleTimer_->SetEnabled(false); }

 private:
  // ReplyListener
  void LogReply(std::string_view text) override { output_.LogCommand(text); }
  void AnswerFrom(int position) override;

  void OnMessage(const platform::Message& message);
  void Interrupt(int signal);
  void LogSettingsProblems();
  int LoadUpdateSettings(const std::string& fileName);
  int LoadDeviceProfiles(const std::string& fileName);
  std::string UpdateIniPath(const std::string& fileName) const;
  std::optional<ConfigLines> LoadUpdateIni(const std::string& fileName) const;
  void ShowCatalogue();
  void OpenPorts(bool fixedPortValid);
  void ShowConfigMissing(std::string_view text);
  void SecTimerTimer();
  void TitleTimerTimer();

  platform::MessageLoop& loop_;
  UpdateView& view_;
  Installation installation_;
  std::unique_ptr<DeviceRecord> record_;
  core::TEvents events_;
  core::TEventDrain drain_;
  core::TTimerPool timers_;
  core::TDelay wait_;
  std::unique_ptr<platform::Timer> secTimer_;
  std::unique_ptr<platform::Timer> titleTimer_;
  RunLog runLog_;  // before the output and the ports, which see it
  TWindowOutput output_;
  TReplyParser parser_;
  TPortTable ports_;
  UpdateSettings settings_;
  SettingsProblems settingsProblems_;
  DeviceProfiles profiles_;
  FileCatalogue catalogue_;

  int foundPort_ = -1;
  std::int32_t airPressureRow_ = -1;
  bool versionCheck_ = true;
  bool identifyOnly_ = false;
  std::int32_t titleTicks_ = 0;
  float expectedTicks_ = 1.0f;
  RunOutcome outcome_ = RunOutcome::None;
  int interruptSignal_ = 0;
  bool closed_ = false;
  std::unique_ptr<RunWorkflow> workflow_;  // last: it goes first, while all it uses still exists
};

}  // namespace updater
