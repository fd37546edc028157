#pragma once
// T_BSL430: programs an MSP430 of the 1xx, 2xx and 4xx families through the
// processor's ROM boot loader (classic BSL).
//
// The workflow creates one object per programming run, calls Program once and
// destroys the object. Program reads the TI-TXT image first (a file that is
// missing, too large or malformed is refused with a message before anything
// is sent), then asks the running firmware to jump into its boot loader (or,
// with DeviceRecord flag A, starts at the boot loader directly), and runs the
// conversation: version and chip, password, optional 38400 bit/s, erase,
// program, read back and compare every block, start. It returns only when the
// conversation has ended, driving the event queue and the message loop itself
// meanwhile; its event callback is subscribed only while it runs.
//
// Results: Program returns 1 when every block was read back equal, else 0
// after the error message was shown; ResultCode then tells the step that
// failed (StepCode, 16 outside a numbered step, 17 when the instrument has no
// boot loader). Time-outs: 15000 ms without data before the boot loader, 5000
// ms within. Main thread only.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "loaders/boot_passwords.h"
#include "loaders/bsl_frames.h"
#include "loaders/bsl_session.h"
#include "loaders/loader_context.h"
#include "loaders/loader_registry.h"
#include "loaders/ti_txt_image.h"

namespace loaders {

/// D1 D2 of the classic baud-rate command by chip identity: for the raised
/// 38400 bit/s of the data phase, and for the boot loader's own 9600 bit/s.
struct ClockBytes {
  std::uint8_t d1, d2;
  bool operator==(const ClockBytes&) const = default;
};
ClockBytes ClockFor38400(std::int32_t chipId);
ClockBytes ClockFor9600(std::int32_t chipId);

class T_BSL430 final : public ProgrammingLoader {
 public:
  explicit T_BSL430(const LoaderContext& context);
  ~T_BSL430() override;
  T_BSL430(const T_BSL430&) = delete;
  T_BSL430& operator=(const T_BSL430&) = delete;

  /// Program with Msp430Args; any other arguments are refused with 0.
  int Program(const ProgramArgs& args) override;
  /// One programming run: 1 programmed and verified, 0 failed.
  int Program(int componentIndex, const char* fileName, bool syncFirst, bool queryFirst);
  /// Writes a text command and logs it; false when the line took nothing.
  bool Send(const char* text);
  /// Result code of the last failure, 0 when none.
  int ResultCode() const { return resultCode_; }

  static constexpr std::size_t kFileBytes = 400000;
  static constexpr std::size_t kPatchBytes = 2000;
  static constexpr std::size_t kMaxBlocks = 1280;
  static constexpr std::size_t kMaxPatchBlocks = 20;
  /// The RAM patch that BSL 1.10 runs before every read and write.
  static constexpr const char* kPatchFile = "Patch.TXT";

  /// The image of the TI-TXT file at `path` as this loader programs it:
  /// within its limits, in the classic layout, with the start word at its end.
  static TiTxtResult ReadFirmware(const std::string& path, TiTxtImage& image);
  /// The patch file at `path`: within its limits and below 64 KB.
  static TiTxtResult ReadPatch(const std::string& path, TiTxtImage& patch);

 private:
  using Step = void (T_BSL430::*)();
  using FrameStep = void (T_BSL430::*)(const std::uint8_t* frame);

  bool LoadImage(const char* fileName, TiTxtImage& image);
  void Opening(bool syncFirst);
  void DefaultVectorForDirectStart();

  // Text phase.
  void Acknowledged();
  void TakeVector(const char* text);
  void StartBsl(bool sync);

  // Receiving and retrying.
  void Receive();
  /// Handles the frame at `start` once it is whole; false while it is not.
  bool TakeFrame(std::size_t start);
  void Retry(bool timeout);

  // Steps that send.
  void Sync(Step next);
  void ResendSync();
  void Version();
  void ChipInfo();
  void Password();
  void NextPasswordGuess();
  void Baud();
  void Erase();
  void SendErase();
  void SetOffset(Step confirmed);
  void SendOffset();
  void ProgramBlock();
  void VerifyBlock();
  void StartStep();
  void PatchJump();
  void PatchPassword();
  void PatchProgram();
  void PatchVerify();
  void PatchRun();
  void SendFrame(std::uint8_t command, const std::uint8_t* payload, std::size_t size);
  void SendPasswordFrame();
  void SendBlock(std::uint8_t command, const ImageBlock& block, bool withData);

  // Continuations.
  void VersionReply(const std::uint8_t* frame);
  void AfterPassword();
  void AfterBaud();
  void LowerRate();
  void OffsetConfirmedErase();
  void OffsetConfirmedProgram();
  void OffsetConfirmedVerify();
  void VectorSegmentFirst(bool skipMarker);
  void VectorErased();
  void NextSegment();
  void NextBlock();
  void Compare(const std::uint8_t* frame);
  void Finished();
  void LoadPatch();
  void SyncThenPatchPassword();
  void PatchBegin();
  void PatchNext();
  void PatchCompare(const std::uint8_t* frame);
  void SyncThenContinuation();
  void Continue(Step step);
  void PatchRunThen(Step step);
  void ReplaceImage(std::int32_t chip);

  const ImageBlock& Block() const { return image_.blocks[static_cast<std::size_t>(blockIndex_)]; }
  std::uint32_t Block1Address() const;

  LoaderContext ctx_;
  BslSession session_;
  bool vectorKnown_ = false;
  bool vectorSegmentErased_ = false;
  bool queryFirst_ = false;
  bool patchActive_ = false;
  bool passwordSent_ = false;
  bool versionKnown_ = false;
  std::int32_t componentIndex_ = 0;
  std::int32_t eraseAddress_ = 0;
  std::int32_t chipId_ = 0;
  std::int32_t bslVersion_ = 0;
  core::FixedText<8> versionText_;
  std::int32_t resetVector_ = 0;
  bool guessPassword_ = false;  ///< a direct start: nobody has read the vector table
  std::vector<VectorTable> guesses_;
  std::size_t guess_ = 0;
  bool refused_ = false;  ///< the step now retried was refused, not left unanswered
  std::int32_t blockIndex_ = 0;
  std::int32_t patchIndex_ = 0;
  std::int32_t wantedOffset_ = 0;
  std::uint8_t offsetInForce_ = 0;
  TiTxtImage image_;
  TiTxtImage patch_;
  std::array<std::uint8_t, classic::kMaxFrame> frame_{};
  std::array<std::uint8_t, classic::kMaxFrame> lastFrame_{};
  FrameStep frameHandler_ = nullptr;
  Step ackHandler_ = nullptr;
  Step retryAction_ = nullptr;
  RetryHistory<Step, 3> history_;
  Step continuation_ = nullptr;
  Step offsetConfirmed_ = nullptr;
  std::int32_t resultCode_ = 0;
};

}  // namespace loaders
