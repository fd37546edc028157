#pragma once
// THexLoad: one programming pass through the M16 updater library, on a worker
// thread, so that the main thread keeps its message loop running meanwhile.
//
// The pass: Init(COM number), IsBTLActive (once more 200 ms later when it
// says 0), Clear, Program(file, 0, progress), then MakeValid and
// ExitAndStartApplication; Deinit on every way out once Init was called. The
// driver's own steps report 1 to 5 %, the library's 0 to 100 % become 5 to
// 100 % (LibraryProgress). The pass succeeds only when Init, IsBTLActive,
// Clear and Program all returned nonzero.
//
// One pass per process at a time: the library's callback carries no context,
// so the running pass is found through a process-wide pointer.
// Construction, StartUpdate, IsBusy, Succeeded and destruction: main thread.
#include <atomic>
#include <string>
#include <string_view>
#include <thread>

#include "loaders/library_progress.h"
#include "loaders/m16_library.h"
#include "platform/clock.h"

namespace loaders {

/// The library's file name buffer holds this many units, terminator included.
inline constexpr std::size_t kM16FileNameUnits = 80;

/// An 8-bit file name as the library takes it: one unit per byte, the code
/// unchanged (0x80 to 0xFF become U+0080 to U+00FF).
std::wstring WideFileName(std::string_view name);

class THexLoad {
 public:
  THexLoad(const M16Functions& functions, const platform::Clock& clock, LibraryProgress& progress)
      : functions_(functions), clock_(clock), progress_(progress) {}
  /// Waits for a running pass to end.
  ~THexLoad();
  THexLoad(const THexLoad&) = delete;
  THexLoad& operator=(const THexLoad&) = delete;

  /// Starts the pass for `file` on COM `comNumber` (1 = COM1). Once only.
  void StartUpdate(std::wstring file, int comNumber);
  bool IsBusy() const { return busy_.load(); }
  /// The outcome of the pass, once it is no longer busy.
  bool Succeeded() const { return succeeded_.load(); }

 private:
  void Pass(std::wstring file, int comNumber);
  bool Sequence(const std::wstring& file, int comNumber);
  bool BootLoaderActive();

  M16Functions functions_;
  const platform::Clock& clock_;
  LibraryProgress& progress_;
  std::thread worker_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> succeeded_{false};
};

}  // namespace loaders
