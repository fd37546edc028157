// The firmware files of the sample installations against the simulated
// instruments, as whole console sessions (--yes): a file named in another
// letter case is found on every path of every family, and a file that a
// loader would refuse is refused by name before the instrument is asked to
// start a boot loader, so that it is never erased and the next run, with the
// file put right, updates it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "console_sim_run.h"

namespace console {
namespace {

namespace fs = std::filesystem;

const bool kFastClock = ::setenv("UPDATER_TIME_SCALE", "20", 1) == 0;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return text;
}

// A copy of examples/`preset`, with the maker's library and tools next to the
// program as an installation has them.
void InstallSample(const std::string& preset, const updater::testing::TempInstallation& install) {
  fs::copy(std::string(EXAMPLES_DIR) + "/" + preset, install.Path(), fs::copy_options::recursive);
  for (const char* standIn : {"libVorloM16Updater.so", "HEXLoad_8N1", "PIC32_Serial_Bootloader"}) {
    fs::copy(std::string(STANDIN_DIR) + "/" + standIn, install.Path());
  }
}

struct Family {
  const char* preset;
  std::vector<const char*> files;  ///< the files the run sends, stored in lower case for the test
  const char* updated;             ///< what state.json reports once the new firmware runs
  const char* lastCommand;         ///< the last command of a successful run
};

class LowerCaseNames : public ::testing::TestWithParam<Family> {};

TEST_P(LowerCaseNames, UpdateTheInstrument) {
  ASSERT_TRUE(kFastClock);
  const Family& family = GetParam();
  testing::ConsoleSimRun run;
  InstallSample(family.preset, run.install);
  for (const char* file : family.files)
    fs::rename(run.install.Path() + "/" + file, run.install.Path() + "/" + Lower(file));
  updater::testing::Simulator sim(run.dump.Path(), {}, {}, family.preset);
  ASSERT_FALSE(sim.Pty().empty());
  run.code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), run.out);
  testing::AwaitCommand(run.dump, family.lastCommand);
  sim.Stop();
  run.state = run.dump.Read("state.json");
  EXPECT_EQ(run.code, kExitSuccess) << run.out;
  EXPECT_NE(run.state.find(family.updated), std::string::npos) << run.state;
}

INSTANTIATE_TEST_SUITE_P(
    Families, LowerCaseNames,
    ::testing::Values(Family{"msp430-classic",
                             {"MC1.TXT", "Patch.TXT"},
                             "\"firmware_version\": \"1.20\"",
                             "A.1000"},
                      Family{"msp430-5xx", {"MF5.TXT"}, "\"firmware_version\": \"2.10\"", "A.1000"},
                      Family{"lab",
                             {"LABXXX.TXT"},
                             "\"firmware_version\": \"3.10\"",
                             "A.1000"},
                      Family{"emf", {"EMF1.BIN"}, "\"firmware_version\": \"1.10\"", "r"},
                      Family{"basic-loader",
                             {"MT3.MOT", "L3_TermH.A37", "L3_TermL.A37"},
                             "\"second_version\": \"1.30\"",
                             "A.1220"},
                      Family{"wince",
                             {"WINCEAPP.EXE", "HELPER.DLL", "SETTINGS.DAT"},
                             "\"firmware_version\": \"4.20\"",
                             "A.1000"},
                      Family{"m16", {"M16FW.MOT"}, "\"firmware_version\": \"1.10\"", "A.1000"},
                      Family{"pic32", {"P32FW.HEX"}, "\"firmware_version\": \"2.10\"", "A.1000"}),
    [](const auto& info) {
      std::string name = info.param.preset;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

struct BadFile {
  const char* name;
  const char* preset;
  std::vector<std::string> settings;  ///< the simulator's --set values
  const char* file;                   ///< the file that is spoilt
  const char* spoil;                  ///< "missing", "cut" (a TI-TXT without its "q") or "random"
  const char* message;                ///< what the refusal says
  const char* resume;   ///< the command that sends the instrument back to its measuring mode
  const char* updated;  ///< what state.json reports after the second run
};

void Spoil(const updater::testing::TempInstallation& install, const std::string& file,
           const std::string& how) {
  if (how == "missing") {
    fs::remove(install / file);
  } else if (how == "cut") {
    const std::string text = install.Read(file);
    install.Write(file, text.substr(0, text.find('q')));
  } else {
    std::string noise;
    for (unsigned i = 0; i < 4000; ++i) noise += static_cast<char>((i * 2654435761u) >> 24);
    install.Write(file, noise);
  }
}

class RefusedFile : public ::testing::TestWithParam<BadFile> {};

// The first run exits 4 with a message that names the file; the instrument
// never erased anything and runs its firmware, so a second run with the file
// as the sample has it updates it.
TEST_P(RefusedFile, BeforeAnyBootLoaderStarts) {
  ASSERT_TRUE(kFastClock);
  const BadFile& bad = GetParam();
  testing::ConsoleSimRun run;
  InstallSample(bad.preset, run.install);
  const std::string good = run.install.Read(bad.file);
  Spoil(run.install, bad.file, bad.spoil);
  updater::testing::Simulator sim(run.dump.Path(), bad.settings, {}, bad.preset);
  ASSERT_FALSE(sim.Pty().empty());

  run.code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), run.out);
  testing::AwaitCommand(run.dump, bad.resume);
  run.state = run.dump.Read("state.json");
  EXPECT_EQ(run.code, kExitConfig) << run.out;
  EXPECT_NE(run.out.find(bad.message), std::string::npos) << run.out;
  EXPECT_NE(run.state.find("\"erases\": 0,"), std::string::npos) << run.state;
  EXPECT_NE(run.state.find("\"running\": \"firmware\""), std::string::npos) << run.state;

  run.install.Write(bad.file, good);
  std::string again;
  const int code = testing::RunConsoleOn(sim.Pty(), run.install.Path(), again);
  sim.Stop();
  EXPECT_EQ(code, kExitSuccess) << again;
  EXPECT_NE(run.dump.Read("state.json").find(bad.updated), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFile,
    ::testing::Values(BadFile{"TiTxtWithoutQ",
                              "msp430-classic",
                              {},
                              "MC1.TXT",
                              "cut",
                              "Firmware file incomplete, its closing \"q\" is missing: MC1.TXT",
                              "A.1121",
                              "\"firmware_version\": \"1.20\""},
                      BadFile{"MissingMainFile",
                              "msp430-5xx",
                              {},
                              "MF5.TXT",
                              "missing",
                              "Firmware file not found: MF5.TXT",
                              "A.1121",
                              "\"firmware_version\": \"2.10\""},
                      BadFile{"RandomBytes",
                              "msp430-classic",
                              {},
                              "MC1.TXT",
                              "random",
                              "Firmware file holds no version: MC1.TXT",
                              "A.1121",
                              "\"firmware_version\": \"1.20\""},
                      BadFile{"RandomBinImage",
                              "emf",
                              {},
                              "EMF1.BIN",
                              "random",
                              "Firmware file holds no version: EMF1.BIN",
                              "A.1111",
                              "\"firmware_version\": \"1.10\""},
                      BadFile{"MissingBasicLoaderFile",
                              "basic-loader",
                              {},
                              "L3_TermH.A37",
                              "missing",
                              "Firmware file not found: L3_TERMH.A37",
                              "A.1111",
                              "\"second_version\": \"1.30\""},
                      // The terminal without a firmware that a broken download leaves.
                      BadFile{"MissingBasicLoaderFileForABlankTerminal",
                              "basic-loader",
                              {"terminal_blank=1"},
                              "L3_TermH.A37",
                              "missing",
                              "Firmware file not found: L3_TERMH.A37",
                              "A.1111",
                              "\"second_version\": \"1.30\""},
                      BadFile{"MissingFileThatReply208Chooses",
                              "basic-loader",
                              {"reply_208=1"},
                              "L3_TermL.A37",
                              "missing",
                              "Firmware file not found: L3_TermL.A37",
                              "A.1111",
                              "\"second_version\": \"1.30\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace console
