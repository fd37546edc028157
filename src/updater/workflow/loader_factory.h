#pragma once
// The one place where a run gets its programming back-ends: the boot-loader
// conversations, the external programming tools and the Basic-Loader download.
// The application hands the workflow a factory; tests hand it doubles.
//
// Header only, so that the loader library can implement it without linking
// the workflow.
#include <cstdint>
#include <memory>

#include "core/delay.h"
#include "core/events.h"
#include "serial/com_port.h"
#include "updater/device_record.h"
#include "updater/update_view.h"
#include "updater/window_output.h"

namespace updater {

class TUpdateForm;

/// What every back-end is given for one step. All references outlive the
/// back-end; `port` is the port the instrument answered on (may be null when
/// it was closed meanwhile).
struct LoaderContext {
  int language;
  UpdateView& view;          ///< wait progress bar, log area, dialogs
  TWindowOutput& output;     ///< placeholders, command log, progress report
  core::TDelay& wait;
  DeviceRecord* record;
  serial::TComPort* port;
  core::TEvents& events;
  TUpdateForm& window;       ///< its ProcessEvents drives the queue
};

/// What a programming step asks of a loader. Each loader reads the fields it
/// knows: the MSP430 loaders (component, file, syncFirst, queryFirst), the EMF
/// loader (component = loader mode, file, force), the WinCE transfer
/// (component 0, file, force).
struct ProgramArgs {
  std::int32_t component = 0;
  const char* file = "";
  bool syncFirst = false;
  bool queryFirst = false;
  bool force = false;
};

enum class LoaderKind {
  Bsl430,      ///< MSP430 classic boot loader
  Bsl54xx430,  ///< MSP430 5xx/6xx boot loader (ProzTyp 0x5438)
  Emf,         ///< XMODEM boot loader of .BIN images
  WinCE,       ///< file transfer to WinCE instruments
};

/// One programming conversation. Program runs it to the end before it returns,
/// driving the event queue itself meanwhile (so the workflow is re-entered);
/// it unsubscribes whatever it subscribed before it returns.
class ProgrammingLoader {
 public:
  virtual ~ProgrammingLoader() = default;
  /// 1: programmed and verified; 0: failed (the loader has shown its error).
  virtual int Program(const ProgramArgs& args) = 0;
};

/// The Basic-Loader download: it subscribes itself when created and works
/// through the queue until it is destroyed (when the window goes).
class BackgroundLoader {
 public:
  virtual ~BackgroundLoader() = default;
  /// Asks it to stop at its next step (the window closes).
  virtual void RequestStop() = 0;
};

enum class ExternalHandler {
  HexLoad,          ///< FileType 0 and 1
  Pic32Bootloader,  ///< FileType 2 and 3
};

class LoaderFactory {
 public:
  virtual ~LoaderFactory() = default;
  /// A loader for one Program call; never null.
  virtual std::unique_ptr<ProgrammingLoader> CreateLoader(LoaderKind kind, const LoaderContext& context) = 0;
  /// Runs an external handler with a file to its end: 0 success, anything
  /// else failure (the handler has told the user why).
  virtual int RunExternal(ExternalHandler handler, const LoaderContext& context, const char* fileName) = 0;
  /// Starts the Basic-Loader download; never null.
  virtual std::unique_ptr<BackgroundLoader> StartBasicLoader(const LoaderContext& context) = 0;
};

}  // namespace updater
