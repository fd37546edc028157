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
  /// The whole 5xx boot-loader password learnt in this run (word 0 is the
  /// remembered reset vector); a direct start may reuse it only whole.
  std::array<std::int32_t, 16> RememberedPassword{};
  std::uint8_t PasswordKnown = 0;

  // What the flags mean, where the code reads and sets them.
  /// The boot loader is started directly, without the firmware's entry command.
  bool DirectBootLoaderStart() const { return FlagA != 0; }
  void SetDirectBootLoaderStart(bool on) { FlagA = on ? 1 : 0; }
  /// The instrument goes on without its digital sensor.
  bool WithoutSensor() const { return FlagB != 0; }
  void SetWithoutSensor(bool on) { FlagB = on ? 1 : 0; }
  /// The "@" mark of a component's file: its boot loader keeps its rate.
  bool KeepsBootLoaderRate(int component) const { return (component == 0 ? FlagC : FlagD) != 0; }
  void SetKeepsBootLoaderRate(int component, bool on) { (component == 0 ? FlagC : FlagD) = on ? 1 : 0; }

  /// Back to all zero (the run start).
  void Clear() { *this = DeviceRecord(); }
};

}  // namespace updater
