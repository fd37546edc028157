#pragma once
// DeviceRecord: the working record of one update run. Cleared at every run
// start; filled from the instrument's answers and the selected profile; every
// loader gets a pointer to it.
#include <array>
#include <cstdint>

#include "core/fixed_text.h"

namespace updater {

struct DeviceRecord {
  static constexpr std::size_t kMaxExtraFiles = 200;
  using FileName = core::FixedText<255>;

  std::int32_t ProzTyp = 0;
  core::FixedText<20> PcbNumber;              ///< answer to "A.2003"
  core::FixedText<20> DeviceNumber;           ///< answer to "A.2000"
  core::FixedText<16> InstrumentVersionText;  ///< answer to "A.2001", may hold ",second"
  core::FixedText<16> OfferedVersionText;     ///< found in the main firmware file
  core::FixedText<16> SecondOfferedVersionText;
  std::int32_t InstrumentVersion = 0;         ///< version text x 1000.01, truncated
  std::int32_t OfferedVersion = 0;
  std::int32_t SecondVersion = 0;
  std::int32_t SecondOfferedVersion = 0;
  std::int32_t ThirdVersion = 0;
  std::int32_t ThirdOfferedVersion = 0;
  std::int32_t ExtraFileCount = 0;            ///< entries used in ExtraFiles
  FileName MainFile;                          ///< first item of ProgFile2 (placeholder DATEI)
  FileName SecondComponentFile;               ///< first item of ProgFile3
  FileName FirstFile;                         ///< ProgFile1
  std::array<FileName, kMaxExtraFiles> ExtraFiles;
  core::FixedText<40> SerialNumber;           ///< answer to "A.4001"
  core::FixedText<120> DeviceName;            ///< placeholder NAME
  char Reply208Byte = 0;
  core::FixedText<64> SWKenn1, SWKenn2, SWKenn3;
  core::FixedText<80> BootLoadKenn;
  core::FixedText<80> BootLoaderId;           ///< what the boot loader announced
  std::uint8_t FlagA = 0;  ///< programming started from "Lab XXX" or by event 10046
  std::uint8_t FlagB = 0;  ///< continue without a digital sensor
  std::uint8_t FlagC = 0;  ///< "@" mark of the main file
  std::uint8_t FlagD = 0;  ///< "@" mark of the second-component file
  std::int32_t FlashErase1 = 0, FlashErase2 = 0, FlashErase3 = 0;
  core::FixedText<32> ProgDefFile;
  std::int32_t RememberedResetVector = 0;     ///< learnt by a boot loader, kept for the run
  std::uint8_t ResetVectorKnown = 0;

  /// Back to all zero (the run start).
  void Clear() { *this = DeviceRecord(); }
};

}  // namespace updater
