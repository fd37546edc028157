#pragma once
// The hand-off of a programming job to an outside programmer: the maker's
// updater library (through THexLoad) or, without it, the HEXLoad tool for
// .mot/.TXT firmware, and the PIC32 tool for .EXE/.HEX firmware.
//
// Both release the found port for the duration and take it back afterwards,
// give the outside programmer the COM-to-device map as UPDATER_PORTS (in the
// environment of the tool, or of this process for the library), keep the
// message loop running while it works (the title shows an estimate from the
// file's size while a tool runs), and return 0 for success and anything
// else for failure, having told the user why. A tool that ends with exit code
// 1 is started again, three starts in all. A tool whose exit code cannot be
// learnt (platform::ChildProcess::kEndUnknown) has failed and is not started
// again: it may have written the instrument. Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "loaders/hand_off_port.h"
#include "loaders/loader_context.h"
#include "loaders/m16_library.h"
#include "platform/process.h"

namespace loaders {

class TExternalProgramming {
 public:
  /// Result of a tool that could not be started (no further start is tried).
  static constexpr int kNotStarted = -1;

  /// `folders`: where the library and the tools are looked for, in order.
  TExternalProgramming(const LoaderContext& context, HandOffPort& port,
                       std::vector<std::string> folders);
  ~TExternalProgramming();

  /// Programs `file` through the library when it is there, else the tool.
  int RunHexLoad(const char* file);
  int RunPic32Bootloader(const char* file);

 private:
  int RunLibrary(const M16Library& library, const std::string& file);
  int WaitForLibrary(const M16Functions& functions, const std::string& file);
  int RunTool(const char* tool, const std::vector<std::string>& arguments,
              platform::Tick pauseAfterMs);
  int RunOnce(const platform::ProcessStart& start, platform::Tick pauseAfterMs);
  void WaitForEnd(platform::ChildProcess& process);
  /// Takes the port back and sets its line; false when it cannot be opened.
  bool Retake(bool leaveAt9600Odd);
  void SetTitleProgress(const std::string& file, long bytesPerTick);
  void StartTitle();
  void StopTitle();
  void OnTitleTick();
  void ShowError(std::string_view text) const;

  const LoaderContext& context_;
  HandOffPort& port_;
  std::vector<std::string> folders_;
  std::unique_ptr<platform::Timer> titleTimer_;
  int titleTicks_ = 0;
  float expectedTicks_ = 1.0f;
};

/// The registry's handlers: the found port of `context` handed off, the
/// library and tools looked for in the installation's program folder, then
/// beside the running updater.
int RunHexLoad(const LoaderContext& context, const char* file);
int RunPic32Bootloader(const LoaderContext& context, const char* file);

}  // namespace loaders
