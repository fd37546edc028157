#pragma once
// A small installation in a scratch folder: Update.ini, ProgDevice.ini with
// one device profile and the start and abort texts, and one firmware file.
#include <string>

#include "temp_installation.h"
#include "updater/update_form.h"

namespace updater::testing {

inline const char* const kProgDevice =
    "StarttextD=Bitte NAME einschalten und OK dr\xFC" "cken.\r\n"
    "StarttextE=Switch the NAME on and press OK.\r\n"
    "AbbruchtextD=Abbruch\r\n"
    "AbbruchtextE=Aborted\r\n"
    "\r\n"
    "DevStartCmd=1\r\nDeviceNrDef=22075\r\nDeviceNr=28101\r\nDeviceName=Multi 770\r\nProgFile1=\r\n"
    "ProgFile2=multi.mot\r\nProgFile3=\r\nSWKenn1=V\r\nSWKenn2=\r\nSWKenn3=\r\nBootLoadKenn=\r\n"
    "FlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=149\r\n";

class InstallationFixture {
 public:
  explicit InstallationFixture(const std::string& updateIni = "Language=0\r\nVersion=1.2\r\nBaud=\r\nCom=\r\n") {
    if (!updateIni.empty()) dir.Write("Update.ini", updateIni);
    dir.Write("ProgDevice.ini", kProgDevice);
    dir.Write("Multi.MOT", "S0030000FC\r\n");
  }
  Installation Paths() const { return {dir.Path(), dir.Path()}; }

  TempInstallation dir;
};

}  // namespace updater::testing
