#pragma once
// The programming back-ends of a build, as a table: each family (a boot-loader
// conversation, an external hand-off, the Basic-Loader download) maps to the
// function that makes it. `main` fills the table; the workflow asks it and
// nothing else. A family that is not registered tells the user that this path
// is not available and fails, so a run never pretends success.
//
// Main thread only. The registry must outlive every window that uses it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <variant>

#include "loaders/loader_context.h"

namespace loaders {

enum class LoaderKind : std::uint8_t {
  Bsl430,      ///< MSP430 classic boot loader
  Bsl54xx430,  ///< MSP430 5xx/6xx boot loader (ProzTyp 0x5438)
  Emf,         ///< XMODEM boot loader of .BIN images
  WinCE,       ///< file transfer to WinCE instruments
  kCount
};

enum class ExternalHandler : std::uint8_t {
  HexLoad,          ///< FileType 0 and 1
  Pic32Bootloader,  ///< FileType 2 and 3
  kCount
};

/// Arguments of the MSP430 boot loaders.
struct Msp430Args {
  std::int32_t componentIndex = 0;
  const char* file = "";
  bool syncFirst = false;
  bool queryFirst = false;
};

/// Arguments of the EMF loader.
struct EmfArgs {
  std::int32_t loaderMode = 0;
  const char* file = "";
  bool force = false;
};

/// Arguments of the WinCE transfer.
struct WinCEArgs {
  const char* file = "";
  bool force = false;
};

using ProgramArgs = std::variant<Msp430Args, EmfArgs, WinCEArgs>;

/// One programming conversation. Program runs it to the end before it returns,
/// driving the event queue itself meanwhile (so the workflow is re-entered);
/// it unsubscribes whatever it subscribed before it returns.
class ProgrammingLoader {
 public:
  virtual ~ProgrammingLoader() = default;
  /// 1: programmed and verified; 0: failed (the loader has shown its error).
  /// Arguments of another family are refused with 0.
  virtual int Program(const ProgramArgs& args) = 0;
};

/// The Basic-Loader download: it subscribes itself when created and works
/// through the queue until it is destroyed (when the window goes).
class BackgroundLoader {
 public:
  virtual ~BackgroundLoader() = default;
  /// Asks it to stop at its next step (the window closes).
  virtual void RequestStop() = 0;
  /// The user interrupted the program: a download under way sends no more
  /// and tells what its abort tells; true when one was under way.
  virtual bool Interrupt() = 0;
};

class LoaderRegistry {
 public:
  using MakeLoader = std::function<std::unique_ptr<ProgrammingLoader>(const LoaderContext& context)>;
  /// Runs a hand-off with a file to its end: 0 success, anything else failure
  /// (the handler has told the user why).
  using RunExternal = std::function<int(const LoaderContext& context, const char* fileName)>;
  using StartBackground = std::function<std::unique_ptr<BackgroundLoader>(const LoaderContext& context)>;

  void Add(LoaderKind kind, MakeLoader make) { loaders_[Index(kind)] = std::move(make); }
  void Add(ExternalHandler handler, RunExternal run) { externals_[Index(handler)] = std::move(run); }
  void AddBasicLoader(StartBackground start) { basicLoader_ = std::move(start); }

  /// A loader for one Program call; never null (a stand-in that fails when
  /// the kind is not registered).
  std::unique_ptr<ProgrammingLoader> Create(LoaderKind kind, const LoaderContext& context) const;
  int Run(ExternalHandler handler, const LoaderContext& context, const char* fileName) const;
  /// Starts the Basic-Loader download; never null.
  std::unique_ptr<BackgroundLoader> StartBasicLoader(const LoaderContext& context) const;

 private:
  template <typename E>
  static constexpr std::size_t Index(E value) {
    return static_cast<std::size_t>(value);
  }

  std::array<MakeLoader, static_cast<std::size_t>(LoaderKind::kCount)> loaders_{};
  std::array<RunExternal, static_cast<std::size_t>(ExternalHandler::kCount)> externals_{};
  StartBackground basicLoader_;
};

/// The maker of a loader class whose constructor takes the context.
template <typename Loader>
std::unique_ptr<ProgrammingLoader> Make(const LoaderContext& context) {
  return std::make_unique<Loader>(context);
}

}  // namespace loaders
