#pragma once
// T_BSL_54XX_430: programs an MSP430 of the 5xx/6xx families through its
// boot loader (UART frames with CRC-16, password of 16 words).
//
// Used like T_BSL430 (create, Program once, destroy), with a session and
// state of its own. The text phase is the classic one, except that the query's
// reply text is the password (in groups of six characters). The boot-loader
// phase: password, version, device descriptor, optional 38400 bit/s, erase,
// program (the vector segment erased right before its block), read back and
// compare every block, start. SyncFirst has no effect (no sync character).
//
// Retries: a step that is not answered, or answered with an error, is sent
// again twice over the run. When a step's retries are spent by answers (error
// bytes, a refusal) or a block reads back wrong, and the boot loader was
// unlocked in this run, the whole data phase runs again in place, up to
// kDataPhaseRepeats times: the password the vector table holds now as far as
// this run knows (the one accepted, unless the run erased or wrote the vector
// segment since), version, descriptor, erase, program, read back. The boot
// loader must answer that password within kResyncAnswerMs; silence there, or
// retries spent by silence, ends the run at once.
//
// Results, time-outs and thread as for T_BSL430.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "loaders/boot_passwords.h"
#include "loaders/bsl_frames.h"
#include "loaders/bsl_session.h"
#include "loaders/loader_context.h"
#include "loaders/loader_registry.h"
#include "loaders/ti_txt_image.h"

namespace loaders {

class T_BSL_54XX_430 final : public ProgrammingLoader {
 public:
  explicit T_BSL_54XX_430(const LoaderContext& context);
  ~T_BSL_54XX_430() override;
  T_BSL_54XX_430(const T_BSL_54XX_430&) = delete;
  T_BSL_54XX_430& operator=(const T_BSL_54XX_430&) = delete;

  /// Program with Msp430Args; any other arguments are refused with 0.
  int Program(const ProgramArgs& args) override;
  /// One programming run: 1 programmed and verified, 0 failed.
  int Program(int componentIndex, const char* fileName, bool syncFirst, bool queryFirst);
  /// Writes a text command and logs it; false when the line took nothing.
  bool Send(const char* text);
  /// Result code of the last failure, 0 when none.
  int ResultCode() const { return resultCode_; }

  static constexpr std::size_t kFileBytes = 1500000;
  static constexpr std::size_t kMaxBlocks = 1280;
  static constexpr int kPasswordWords = 16;
  /// How often the whole data phase may run again in one run.
  static constexpr int kDataPhaseRepeats = 2;
  /// A boot loader answers its password within a few character times.
  static constexpr std::int32_t kResyncAnswerMs = 2000;

  /// The image of the TI-TXT file at `path` as this loader programs it:
  /// within its limits, in the 5xx layout, with the start word at 0xFFFC of
  /// its last block.
  static TiTxtResult ReadFirmware(const std::string& path, TiTxtImage& image);

  /// The password learnt from a reply text (see TakePassword).
  using PasswordWords = std::array<std::int32_t, kPasswordWords>;
  static PasswordWords PasswordFromText(const char* text);
  static VectorTable TableOf(const PasswordWords& words);

 private:
  using Step = void (T_BSL_54XX_430::*)();
  using FrameStep = void (T_BSL_54XX_430::*)(const std::uint8_t* frame);

  bool LoadImage(const char* fileName);
  void PasswordForDirectStart();

  void Acknowledged();
  void TakePassword(const char* text);
  void StartBsl();

  void Receive();
  void HandleResponse(const std::uint8_t* frame);
  void Retry();
  void TimedOut();
  void RepeatDataPhase();
  void GiveUp();
  std::int32_t ProgressBase() const { return 8 + 4 * (image_.LastIndex() + 1); }

  /// Builds the frame of a core command into frame_; returns its length.
  std::size_t FrameCore(std::uint8_t command, std::uint32_t address, const std::uint8_t* data, std::size_t size);
  void SendCore(std::uint8_t command, std::uint32_t address, const std::uint8_t* data, std::size_t size);
  void Password();
  void UsePassword(const VectorTable& table);
  void NextPasswordGuess();
  void PasswordAccepted();
  void Version();
  void Descriptor();
  void Baud();
  void Erase();
  void ProgramStep();
  void VerifyStep();
  void Start();

  void VersionReply(const std::uint8_t* frame);
  void DescriptorReply(const std::uint8_t* frame);
  void AfterBaud();
  void LowerRate();
  void NextSegment();
  void VectorErased();
  void NextBlock();
  void Compare(const std::uint8_t* frame);
  void Finished();

  const ImageBlock& Block() const { return image_.blocks[static_cast<std::size_t>(blockIndex_)]; }
  std::uint32_t BlockAddress(std::size_t index) const;

  LoaderContext ctx_;
  BslSession session_;
  bool queryFirst_ = false;
  bool passwordKnown_ = false;
  bool vectorSegmentErased_ = false;
  bool lastSegment_ = false;
  bool unlocked_ = false;    ///< the boot loader took a password in this run
  bool resyncing_ = false;   ///< the data phase starts again: its password is out
  int repeatsLeft_ = kDataPhaseRepeats;
  VectorTable vectorTable_{};  ///< what the vector segment holds, as far as this run knows
  std::int32_t componentIndex_ = 0;
  std::int32_t eraseAddress_ = 0;
  std::int32_t blockIndex_ = 0;
  PasswordWords password_{};
  std::vector<VectorTable> guesses_;  ///< a direct start: passwords to try in turn
  std::size_t guess_ = 0;
  TiTxtImage image_;
  std::array<std::uint8_t, bsl5xx::kMaxFrame> frame_{};
  std::array<std::uint8_t, bsl5xx::kMaxFrame> lastFrame_{};
  FrameStep frameHandler_ = nullptr;
  Step messageHandler_ = nullptr;
  Step ackHandler_ = nullptr;
  Step retryAction_ = nullptr;
  RetryHistory<Step, 2> history_;
  std::int32_t resultCode_ = 0;
};

}  // namespace loaders
