#pragma once
// WorkflowRun: one installation in a scratch folder, scripted instruments on
// pseudo-terminals, the window logic with a scripted view, the workflow and a
// loader factory that records what it was asked to do. Time runs 20 times
// faster, so no test waits the real seconds of a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../updater/scripted_view.h"
#include "../updater/temp_installation.h"
#include "fake_instrument.h"
#include "platform/plain_message_loop.h"
#include "serial/v24_types.h"
#include "updater/update_form.h"
#include "loaders/loader_registry.h"
#include "updater/workflow/workflow.h"

namespace updater::testing {

// Before the first use of the process clock.
inline const bool kFastTime = [] {
  ::setenv("UPDATER_TIME_SCALE", "20", 0);
  return true;
}();

using loaders::ExternalHandler;
using loaders::LoaderKind;

struct ProgramCall {
  LoaderKind kind;
  std::int32_t component;
  std::string file;
  bool syncFirst;
  bool queryFirst;
  bool force;
};

/// The arguments of any family as one call record.
inline ProgramCall CallOf(LoaderKind kind, const loaders::ProgramArgs& args) {
  if (const auto* a = std::get_if<loaders::Msp430Args>(&args)) {
    return {kind, a->componentIndex, a->file, a->syncFirst, a->queryFirst, false};
  }
  if (const auto* a = std::get_if<loaders::EmfArgs>(&args)) return {kind, a->loaderMode, a->file, false, false, a->force};
  const auto& a = std::get<loaders::WinCEArgs>(args);
  return {kind, 0, a.file, false, false, a.force};
}

/// Records every back-end the workflow asks for; results come from the hooks.
class RecordingLoaders final {
 public:
  std::vector<ProgramCall> programs;
  std::vector<std::pair<ExternalHandler, std::string>> externals;
  int basicLoaders = 0;
  /// Result of a Program call (default: success).
  std::function<int(const ProgramCall&)> onProgram;
  /// Result of an external handler (default: success, 0).
  std::function<int(ExternalHandler, const std::string&)> onExternal;

  RecordingLoaders() {
    for (const auto kind : {LoaderKind::Bsl430, LoaderKind::Bsl54xx430, LoaderKind::Emf, LoaderKind::WinCE}) {
      registry_.Add(kind, [this, kind](const loaders::LoaderContext&) { return std::make_unique<Recorded>(*this, kind); });
    }
    for (const auto handler : {ExternalHandler::HexLoad, ExternalHandler::Pic32Bootloader}) {
      registry_.Add(handler, [this, handler](const loaders::LoaderContext&, const char* fileName) {
        externals.emplace_back(handler, fileName);
        return onExternal ? onExternal(handler, fileName) : 0;
      });
    }
    registry_.AddBasicLoader([this](const loaders::LoaderContext&) {
      ++basicLoaders;
      return std::make_unique<Background>();
    });
  }
  RecordingLoaders(const RecordingLoaders&) = delete;
  RecordingLoaders& operator=(const RecordingLoaders&) = delete;

  const loaders::LoaderRegistry& Registry() const { return registry_; }

 private:
  class Recorded final : public loaders::ProgrammingLoader {
   public:
    Recorded(RecordingLoaders& owner, LoaderKind kind) : owner_(owner), kind_(kind) {}
    int Program(const loaders::ProgramArgs& args) override {
      const ProgramCall call = CallOf(kind_, args);
      owner_.programs.push_back(call);
      return owner_.onProgram ? owner_.onProgram(call) : 1;
    }

   private:
    RecordingLoaders& owner_;
    LoaderKind kind_;
  };
  class Background final : public loaders::BackgroundLoader {
   public:
    void RequestStop() override {}
    bool Interrupt() override { return false; }
  };

  loaders::LoaderRegistry registry_;
};

/// The 16 keys of one device block of "ProgDevice.ini".
struct ProfileSpec {
  std::string devStartCmd = "1";
  std::string deviceNrDef = "22075";
  std::string deviceNr = "28101";
  std::string deviceName = "Multi 770";
  std::string progFile1;
  std::string progFile2 = "MULTI.TXT";
  std::string progFile3;
  std::string swKenn1;
  std::string swKenn2 = "@F000\\r\\n";
  std::string swKenn3;
  std::string bootLoadKenn;
  std::string flashErase[3];
  std::string progDefFile;
  std::string prozTyp = "149";
};

inline std::string ProfileBlock(const ProfileSpec& p) {
  return "DevStartCmd=" + p.devStartCmd + "\r\nDeviceNrDef=" + p.deviceNrDef + "\r\nDeviceNr=" + p.deviceNr +
         "\r\nDeviceName=" + p.deviceName + "\r\nProgFile1=" + p.progFile1 + "\r\nProgFile2=" + p.progFile2 +
         "\r\nProgFile3=" + p.progFile3 + "\r\nSWKenn1=" + p.swKenn1 + "\r\nSWKenn2=" + p.swKenn2 +
         "\r\nSWKenn3=" + p.swKenn3 + "\r\nBootLoadKenn=" + p.bootLoadKenn + "\r\nFlashErase1=" + p.flashErase[0] +
         "\r\nFlashErase2=" + p.flashErase[1] + "\r\nFlashErase3=" + p.flashErase[2] +
         "\r\nProgDefFile=" + p.progDefFile + "\r\nProzTyp=" + p.prozTyp + "\r\n\r\n";
}

/// The text block; the abort text has three lines (the second one is the
/// boot-loader hint).
inline std::string TextBlock() {
  return "StarttextD=NAME einschalten und OK\r\nStarttextE=Switch the NAME on and press OK\r\n"
         "AbbruchtextD=Abbruch !!\\rBootloader mit Taste starten\\rDann OK\r\n"
         "AbbruchtextE=Aborted !!\\rStart the boot loader by key\\rThen OK\r\n\r\n";
}

/// A TI-TXT image whose first address line is followed by the version text.
inline std::string TiTxtImage(const std::string& version) {
  std::string line = "@F000\r\n";
  for (char c : version) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", static_cast<unsigned char>(c));
    line += hex;
  }
  return line + "00 FF FF\r\n@FFFC\r\n00 F0 00 F0\r\nq\r\n";
}

/// An S-record file whose first record (S0, marker "S00F0000") carries the
/// version text, with one data record and the end record.
inline std::string SRecordImage(const std::string& version) {
  std::string data = version;
  data.resize(12, '\0');
  std::string record = "S00F0000";
  unsigned sum = 0x0F;
  for (char c : data) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
    record += hex;
    sum += static_cast<unsigned char>(c);
  }
  char check[4];
  std::snprintf(check, sizeof check, "%02X", ~sum & 0xFFu);
  return record + check + "\r\nS1050000AABB95\r\nS9030000FC\r\n";
}

/// What a running firmware answers. Its identification replies use the
/// numbers of `family` (23/20/21/25, 203/200/201/205 or 2013/2010/2011/25).
struct FirmwareScript {
  std::int32_t family[4] = {23, 20, 21, 25};
  std::string pcb = "22075.000";
  std::string device = "28101.000";
  std::string version = "1.10";
  std::string serial = "14120331";
  bool knowsSerial = true;
  /// Extra answers by command (checked first); an empty answer means none.
  std::vector<std::pair<std::string, std::string>> extra;

  std::string Answer(const std::string& line) const {
    for (const auto& [command, answer] : extra) {
      if (line.rfind(command, 0) == 0) return answer;
    }
    auto numbered = [](std::int32_t code, const std::string& text) {
      return "I." + std::to_string(code) + "#" + text + "\r\n";
    };
    if (line == "A.2003") return numbered(family[0], pcb);
    if (line == "A.2000") return numbered(family[1], device);
    if (line == "A.2001") return numbered(family[2], version);
    if (line == "A.4001") return knowsSerial ? numbered(family[3], serial) : "?\r\n";
    if (line.rfind("A.1600#", 0) == 0 || line == "A.2005" || line == "U.606") return "";
    return "!\r\n";  // accepted
  }
};

class WorkflowRun {
 public:
  /// Instrument i listens at `rates[i]` (a termios speed; 0 any).
  explicit WorkflowRun(const std::vector<speed_t>& rates) : instruments(rates) {}

  void Install(const std::string& updateIni, const std::string& progDevice) {
    dir.Write("Update.ini", updateIni);
    dir.Write("ProgDevice.ini", progDevice);
  }

  /// Every instrument answers as `script` says.
  void Answer(const FirmwareScript& script) {
    for (std::size_t i = 0; i < instruments.Count(); ++i) Answer(i, script);
  }
  void Answer(std::size_t i, const FirmwareScript& script) {
    instruments[i].onLine = [script](const std::string& line) { return script.Answer(line); };
  }

  void Start() {
    instruments.StartAll();
    SetWorkflowMaker([this](TUpdateForm& window) {
      auto made = std::make_unique<TWorkflow>(window, loaders.Registry());
      workflow = made.get();
      return made;
    });
    form = std::make_unique<TUpdateForm>(loop, view, Installation{dir.Path(), dir.Path()});
    SetWorkflowMaker(nullptr);
    ASSERT_TRUE(form->Start());
  }

  void PressOk() { form->OkBitBtnClick(); }

  /// Delivers the loop's messages until `done` or `ms` logical milliseconds.
  bool RunUntil(const std::function<bool()>& done, platform::Tick ms = 60000) {
    const platform::Tick deadline = loop.GetClock().Now() + ms;
    while (!done() && !platform::TickReached(loop.GetClock().Now(), deadline)) {
      loop.WaitForMessage(deadline);
      loop.ProcessPendingMessages();
    }
    return done();
  }
  bool RunUntilOutcome(RunOutcome outcome, platform::Tick ms = 60000) {
    return RunUntil([&] { return form->Outcome() == outcome; }, ms);
  }

  /// True when the instrument on port i received `line`.
  bool Received(std::size_t i, const std::string& line) {
    for (const std::string& seen : instruments[i].Lines()) {
      if (seen == line) return true;
    }
    return false;
  }
  bool Logged(const std::string& part) const {
    for (const std::string& line : view.log) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }

  FakeInstruments instruments;
  TempInstallation dir;
  platform::PlainMessageLoop loop;
  ScriptedView view;
  RecordingLoaders loaders;
  std::unique_ptr<TUpdateForm> form;
  TWorkflow* workflow = nullptr;  ///< owned by the window
};

}  // namespace updater::testing
