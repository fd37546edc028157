#pragma once
// The hand-off to the programming tools and the library with a port double:
// a scratch installation with a firmware file, small shell scripts in the
// tools' place, and the loader services.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "loader_services.h"
#include "loaders/external_texts.h"
#include "loaders/external_tools.h"

namespace loaders::test {

inline const bool kFastTime = [] { return ::setenv("UPDATER_TIME_SCALE", "50", 0) == 0; }();

inline std::string Text(const external::MessageText& text) { return std::string(text.view()); }

// The hand-off never speaks on the line itself.
class UnusedLine final : public LoaderPort {
 public:
  int Write(const std::uint8_t*, int) override { return 0; }
  int WriteText(const char*) override { return 0; }
  int Read(std::uint8_t*, int) override { return 0; }
  void ChangeV24Parameter(serial::BaudTag, serial::StopBitTag, serial::ParitaetTag, bool) override {
  }
  void ChangeHandShake(serial::HandshakeTag) override {}
  void SaveLastV24Parameter() override {}
  void LoadLastV24Parameter() override {}
  serial::BaudTag LineBaud() const override { return serial::B__9600; }
  std::string Describe() const override { return "COM3"; }
};

class PortDouble final : public HandOffPort {
 public:
  int index = 2;
  bool opens = true;
  std::vector<std::string> calls;

  int Index() const override { return index; }
  std::string DeviceList() const override { return "/dev/ttyS0,,/dev/pts/9"; }
  void Release() override { calls.push_back("Release"); }
  bool Retake() override {
    calls.push_back("Retake");
    return opens;
  }
  void RestoreLine() override { calls.push_back("RestoreLine"); }
  void SetLine(serial::BaudTag baud, serial::StopBitTag stop, serial::ParitaetTag parity,
               bool keinNull) override {
    calls.push_back("SetLine " + std::to_string(baud) + " " + std::to_string(stop) + " " +
                    std::to_string(parity) + " " + std::to_string(keinNull));
  }
};

class ExternalToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kFastTime);
    char pattern[] = "/tmp/loaders-tools-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ + "/FW.MOT") << std::string(6000, 'S');
    services_.record.MainFile = "FW.MOT";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A tool that logs its arguments and UPDATER_PORTS, one line per start,
  // and ends with the next of `codes` (the last one again after that).
  void Tool(const char* name, const std::vector<int>& codes) {
    std::string list;
    for (const int code : codes) list += " " + std::to_string(code);
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "echo \"$* | $UPDATER_PORTS\" >> '" << dir_ << "/starts'\n"
                        << "set --" << list << "\n"
                        << "n=$(wc -l < '" << dir_ << "/starts')\n"
                        << "shift $(( n > $# ? $# - 1 : n - 1 ))\n"
                        << "exit $1\n";
    ::chmod(path.c_str(), 0755);
  }
  std::vector<std::string> Starts() const {
    std::ifstream in(dir_ + "/starts");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  int HexLoad() {
    const LoaderContext context = services_.Context(line_, dir_);
    TExternalProgramming programming(context, port_, {dir_});
    return programming.RunHexLoad("FW.MOT");
  }
  int Pic32() {
    const LoaderContext context = services_.Context(line_, dir_);
    TExternalProgramming programming(context, port_, {dir_});
    return programming.RunPic32Bootloader("FW.MOT");
  }

  std::string dir_;
  test::LoaderServices services_;
  UnusedLine line_;
  PortDouble port_;
};

}  // namespace loaders::test
