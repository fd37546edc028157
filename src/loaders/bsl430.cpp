#include "loaders/bsl430.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "loaders/image_file.h"
#include "loaders/loader_texts.h"
#include "platform/files.h"

namespace loaders {
namespace {

using namespace classic;

constexpr long kEntryPauseMs = 8000;
constexpr long kShortPauseMs = 1000;
// A boot loader answers a sync or a short frame within a few character times.
constexpr long kClosingAnswerMs = 1000;
constexpr int kClosingSyncs = 3;
constexpr std::uint32_t kVectorSegment = 0xFE00;
constexpr std::int32_t kChipF237 = 0xF237;
constexpr std::int32_t kChipF427 = 0xF427;

std::uint8_t Lo(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t Hi(std::uint32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }
/// The 16-bit address a block is sent with (upper blocks relative to 0x10000).
std::uint32_t Stored(const ImageBlock& b) { return b.address & 0xFFFF; }

}  // namespace

// The processor clock for a rate belongs to the family's clock module
// (TI SLAU319, "MSP430 Programming With the Bootloader", section Change Baud
// Rate): D1 D2 are DCOCTL and BCSCTL1 on the 1xx and 2xx families (38400 bit/s
// 1xx: E0 87, 2xx: 80 8C; 9600 bit/s 1xx: 80 85, 2xx: 80 88) and SCFI0 and
// SCFI1 of the FLL+ on the 4xx family (00 C8; 00 98). A chip at the wrong clock
// never answers the sync after the change. The family is the chip identity's
// high byte: 0xF1.. 1xx, 0xF2.. 2xx; the 4xx values stay for every other identity.
namespace {
struct FamilyClocks {
  ClockBytes at9600, at38400;
};
FamilyClocks ClocksOf(std::int32_t chipId) {
  switch ((chipId >> 8) & 0xFF) {
    case 0xF1: return {{0x80, 0x85}, {0xE0, 0x87}};
    case 0xF2: return {{0x80, 0x88}, {0x80, 0x8C}};
    default: return {{0x00, 0x98}, {0x00, 0xC8}};
  }
}
}  // namespace

ClockBytes ClockFor38400(std::int32_t chipId) { return ClocksOf(chipId).at38400; }
ClockBytes ClockFor9600(std::int32_t chipId) { return ClocksOf(chipId).at9600; }

T_BSL430::T_BSL430(const LoaderContext& context) : ctx_(context), session_(ctx_) {
  session_.steps = {
      [this](const char* text) { TakeVector(text); },
      [this] { Acknowledged(); },
      [this] {
        if (vectorKnown_) StartBsl(true);
      },
      [this] { Receive(); },
      [this] { Retry(true); },
      [this] { LowerRate(); },
  };
}

T_BSL430::~T_BSL430() = default;

bool T_BSL430::Send(const char* text) { return session_.Send(text); }

// --- Program ------------------------------------------------------------------

TiTxtResult T_BSL430::ReadFirmware(const std::string& path, TiTxtImage& image) {
  const TiTxtResult result = LoadImageFile(path, kFileBytes, kMaxBlocks, &ReadClassicImage, image);
  // The start address is taken from the end of the last block.
  if (result.Ok() && image.blocks.back().count < 4) return {TiTxtError::NoStartWord, 0};
  return result;
}

TiTxtResult T_BSL430::ReadPatch(const std::string& path, TiTxtImage& patch) {
  const TiTxtResult result = LoadImageFile(path, kPatchBytes, kMaxPatchBlocks, &ReadClassicImage, patch);
  if (result.Ok() && patch.upperStart != -1) return {TiTxtError::AddressTooHigh, 0};
  return result;
}

bool T_BSL430::LoadImage(const char* fileName, TiTxtImage& image) {
  const TiTxtResult result = ReadFirmware(platform::ResolveCaseless(ctx_.config.workDir, fileName), image);
  if (result.Ok()) return true;
  session_.failureText = FileErrorMessage(result.error, fileName, result.line, ctx_.language).view();
  return false;
}

int T_BSL430::Program(const ProgramArgs& args) {
  const auto* msp430 = std::get_if<Msp430Args>(&args);
  return msp430 ? Program(msp430->componentIndex, msp430->file, msp430->syncFirst, msp430->queryFirst) : 0;
}

int T_BSL430::Program(int componentIndex, const char* fileName, bool syncFirst, bool queryFirst) {
  componentIndex_ = componentIndex;
  queryFirst_ = queryFirst;
  session_.SetProgress(0);
  blockIndex_ = 0;
  if (!LoadImage(fileName ? fileName : "", image_)) {
    // Refused before anything was sent to the instrument.
    resultCode_ = session_.RefuseFile();
    return 0;
  }
  session_.SetProgressMax(8 + 4 * (image_.LastIndex() + 1));
  const bool programmed = session_.Conduct([this, syncFirst] { Opening(syncFirst); });
  if (programmed) return 1;
  resultCode_ = session_.ReportFailure();
  return 0;
}

// The instrument is asked to enter its boot loader, or, with flag A, is
// there already.
void T_BSL430::Opening(bool syncFirst) {
  updater::DeviceRecord& record = session_.Record();
  if (!record.DirectBootLoaderStart()) {
    Send("A.1000\r\n");
    return;
  }
  if (record.ResetVectorKnown) {
    resetVector_ = record.RememberedResetVector;
    vectorKnown_ = true;
  } else {
    DefaultVectorForDirectStart();
  }
  guessPassword_ = true;
  StartBsl(syncFirst);
}

void T_BSL430::DefaultVectorForDirectStart() {
  const updater::DeviceRecord& record = session_.Record();
  const bool c06 = image_.upperStart >= 0 || record.PcbNumber.view().find("23774") != std::string_view::npos ||
                   record.ProzTyp == kChipF237;
  resetVector_ = c06 ? 0x0C06 : 0x0C04;
}

// --- text phase ----------------------------------------------------------------

void T_BSL430::Acknowledged() {
  updater::DeviceRecord& record = session_.Record();
  if (record.WithoutSensor()) {
    componentIndex_ = 2;
    queryFirst_ = false;
  }
  session_.Pause(kShortPauseMs);
  if (queryFirst_) {
    Send(BslSession::QueryCommand(componentIndex_));
    return;
  }
  TakeVector(image_.upperStart >= 0 || record.ProzTyp == kChipF237 ? "0xC06" : "0xC04");
}

void T_BSL430::TakeVector(const char* text) {
  resetVector_ = static_cast<std::int32_t>(std::strtoul(text, nullptr, 16));
  vectorKnown_ = true;
  session_.Record().RememberedResetVector = resetVector_;
  session_.Record().ResetVectorKnown = 1;
  Send(BslSession::EnterCommand(componentIndex_));
}

void T_BSL430::StartBsl(bool sync) {
  session_.EnterBootLoaderLine(kEntryPauseMs);
  if (sync) {
    Sync(&T_BSL430::Version);
  } else {
    Version();
  }
}

// --- receiving -------------------------------------------------------------------

void T_BSL430::Receive() {
  if (session_.ReadArrived() == LoaderPort::kClosed) return;
  const std::uint8_t* rx = session_.Received();
  const std::size_t count = session_.ReceivedCount();
  long frameStart = -1, reply = -1;
  for (std::size_t i = 0; i < count; ++i) {
    if (rx[i] == kHeader) {
      frameStart = static_cast<long>(i);
      break;
    }
    if (rx[i] == kAck || rx[i] == kNak || rx[i] == kNakAlt) reply = static_cast<long>(i);
  }
  if (frameStart >= 0 && TakeFrame(static_cast<std::size_t>(frameStart))) return;
  if (reply < 0) return;
  // Only the last answer is the one to the step now waiting: an earlier one
  // is left over from a sync repeated after its answer was late, and taken
  // for this step's it would pass over a refused block.
  const bool ack = rx[reply] == kAck;
  session_.TakeOut(0, static_cast<std::size_t>(reply) + 1);
  session_.Advance();
  if (!ack) {
    Retry(false);
  } else if (ackHandler_) {
    (this->*ackHandler_)();
  }
}

// A whole frame is taken out with everything in front of it: answers that
// came before a frame belong to earlier steps, not to the one its handler
// starts.
bool T_BSL430::TakeFrame(std::size_t start) {
  const std::uint8_t* rx = session_.Received();
  const std::size_t count = session_.ReceivedCount();
  if (count - start <= 3) return false;
  const std::size_t length = static_cast<std::size_t>(rx[start + 2]) + 6;
  if (count - start < length) return false;
  std::copy_n(rx + start, length, lastFrame_.begin());
  session_.TakeOut(0, start + length);
  // A frame with a wrong checksum is dropped; the step ends by its time-out.
  if (ChecksumMatches({lastFrame_.data(), length})) {
    session_.Advance();
    if (frameHandler_) (this->*frameHandler_)(lastFrame_.data());
    session_.ReportPosition();
  }
  return true;
}

void T_BSL430::Retry(bool timeout) {
  if (timeout) session_.ClearReceived();
  refused_ = !timeout;
  if (!retryAction_) return;
  const Step action = retryAction_;
  if (!history_.Admit(action)) {
    session_.StopWatchdog();
    session_.Fail();
    return;
  }
  if (action == &T_BSL430::NextSegment || action == &T_BSL430::ResendSync) {
    (this->*action)();
  } else if (patchActive_ && (action == &T_BSL430::ProgramBlock || action == &T_BSL430::VerifyBlock)) {
    // A read or write of a BSL 1.10 only works right after the patch ran.
    PatchRunThen(action);
  } else {
    Sync(action);
  }
}

// --- steps that send ----------------------------------------------------------------

void T_BSL430::SendFrame(std::uint8_t command, const std::uint8_t* payload, std::size_t size) {
  const std::size_t length = BuildFrame(command, {payload, size}, frame_.data());
  session_.WriteBytes(frame_.data(), length);
}

void T_BSL430::Sync(Step next) {
  frameHandler_ = nullptr;
  ackHandler_ = next;
  retryAction_ = &T_BSL430::ResendSync;
  session_.stepCode = 1;
  session_.WriteBytes(&kHeader, 1);
}

void T_BSL430::ResendSync() { session_.WriteBytes(&kHeader, 1); }

void T_BSL430::Version() {
  frameHandler_ = &T_BSL430::VersionReply;
  ackHandler_ = nullptr;
  retryAction_ = &T_BSL430::ChipInfo;
  session_.stepCode = 2;
  const std::uint8_t payload[] = {kFill, kFill, kFill, kFill};
  SendFrame(TxBslVersion, payload, sizeof payload);
}

// Boot loaders without the version command give their identification from
// memory, which needs the password first.
void T_BSL430::ChipInfo() {
  if (!passwordSent_) {
    Password();
    return;
  }
  frameHandler_ = &T_BSL430::VersionReply;
  retryAction_ = &T_BSL430::ChipInfo;
  session_.stepCode = 2;
  const std::uint8_t payload[] = {0xF0, 0x0F, 0x0E, 0x00};
  SendFrame(TxDataBlock, payload, sizeof payload);
}

void T_BSL430::SendPasswordFrame() {
  // The password is the interrupt vector table, behind four unused bytes.
  const VectorTable table = guesses_.empty() ? TableWithResetVector(static_cast<std::uint16_t>(resetVector_))
                                             : guesses_[guess_];
  std::uint8_t payload[4 + kVectorTableBytes];
  std::fill_n(payload, 4, 0xFF);
  std::copy(table.begin(), table.end(), payload + 4);
  SendFrame(RxPassword, payload, sizeof payload);
}

void T_BSL430::Password() {
  // Guessed once the image may have been replaced, which can move the vector.
  if (guessPassword_ && guesses_.empty()) {
    guesses_ = PasswordGuesses(TableWithResetVector(static_cast<std::uint16_t>(resetVector_)), image_);
  }
  ackHandler_ = &T_BSL430::AfterPassword;
  retryAction_ = guesses_.size() > 1 ? &T_BSL430::NextPasswordGuess : &T_BSL430::Password;
  session_.stepCode = 4;
  SendPasswordFrame();
}

// A refused guess makes way for the next; after the last the first comes
// again, in case noise, not the guess, was refused. A guess whose answer did
// not come in time was not refused: it goes out again.
void T_BSL430::NextPasswordGuess() {
  if (refused_) guess_ = (guess_ + 1) % guesses_.size();
  Password();
}

void T_BSL430::Baud() {
  ackHandler_ = &T_BSL430::AfterBaud;
  retryAction_ = &T_BSL430::Baud;
  session_.stepCode = 3;
  const ClockBytes clock = ClockFor38400(chipId_);
  const std::uint8_t payload[] = {clock.d1, clock.d2, 0x02, 0x58};
  SendFrame(ChangeBaud, payload, 4);
}

void T_BSL430::Erase() {
  if (eraseAddress_ > 0xFFFF && offsetInForce_ == 0) {
    wantedOffset_ = 1;
    SetOffset(&T_BSL430::OffsetConfirmedErase);
    return;
  }
  if (eraseAddress_ < 0x10000 && offsetInForce_ == 1) {
    eraseAddress_ -= 0x200;
    wantedOffset_ = 0;
    SetOffset(&T_BSL430::OffsetConfirmedErase);
    return;
  }
  SendErase();
}

void T_BSL430::SendErase() {
  ackHandler_ = &T_BSL430::NextSegment;
  // A segment low in memory that cannot be erased is left out.
  retryAction_ = eraseAddress_ < 0x1200 ? &T_BSL430::NextSegment : &T_BSL430::Erase;
  session_.stepCode = 5;
  const std::uint32_t a = static_cast<std::uint32_t>(eraseAddress_) - (offsetInForce_ ? 0x10000u : 0u);
  const std::uint8_t payload[] = {Lo(a), Hi(a), 0x02, 0xA5};
  SendFrame(EraseSegment, payload, sizeof payload);
}

void T_BSL430::SetOffset(Step confirmed) {
  offsetConfirmed_ = confirmed;
  SendOffset();
}

void T_BSL430::SendOffset() {
  ackHandler_ = offsetConfirmed_;
  retryAction_ = &T_BSL430::SendOffset;
  session_.stepCode = 15;
  const std::uint8_t payload[] = {0x00, 0x00, static_cast<std::uint8_t>(wantedOffset_), kFill};
  SendFrame(classic::SetOffset, payload, sizeof payload);
}

// Program (block i, n bytes at a): the vector segment is erased right before
// its block is written, with the memory offset back at 0; the first upper
// block switches the offset to 1.
void T_BSL430::ProgramBlock() {
  const ImageBlock& b = Block();
  if (image_.upperStart == -1) {
    if (Stored(b) + b.count >= kVectorSegment && !vectorSegmentErased_) {
      VectorSegmentFirst(false);
      return;
    }
  } else if (b.IsMarker() && !vectorSegmentErased_) {
    VectorSegmentFirst(true);
    return;
  }
  if (blockIndex_ == image_.upperStart && offsetInForce_ == 0) {
    wantedOffset_ = 1;
    SetOffset(&T_BSL430::OffsetConfirmedProgram);
    return;
  }
  ackHandler_ = &T_BSL430::NextBlock;
  retryAction_ = &T_BSL430::ProgramBlock;
  session_.stepCode = 8;
  SendBlock(RxDataBlock, Block(), true);
}

void T_BSL430::VectorSegmentFirst(bool skipMarker) {
  if (wantedOffset_ == 1 && offsetInForce_ == 1) {
    wantedOffset_ = 0;
    SetOffset(&T_BSL430::OffsetConfirmedProgram);
    return;
  }
  if (skipMarker) ++blockIndex_;
  eraseAddress_ = 0xFFFF;
  Erase();
  session_.stepCode = 6;
  ackHandler_ = &T_BSL430::VectorErased;
}

void T_BSL430::VerifyBlock() {
  const bool backToZero = wantedOffset_ == 1 && offsetInForce_ == 1;
  if (image_.upperStart == -1 || Block().IsMarker()) {
    if (backToZero) {
      wantedOffset_ = 0;
      SetOffset(&T_BSL430::OffsetConfirmedVerify);
      return;
    }
    if (Block().IsMarker()) ++blockIndex_;
  }
  if (blockIndex_ == image_.upperStart && offsetInForce_ == 0) {
    wantedOffset_ = 1;
    SetOffset(&T_BSL430::OffsetConfirmedVerify);
    return;
  }
  frameHandler_ = &T_BSL430::Compare;
  retryAction_ = &T_BSL430::VerifyBlock;
  session_.stepCode = 9;
  SendBlock(TxDataBlock, Block(), false);
}

void T_BSL430::SendBlock(std::uint8_t command, const ImageBlock& block, bool withData) {
  std::uint8_t payload[4 + kBlockDataBytes];
  const std::uint32_t a = Stored(block);
  payload[0] = Lo(a);
  payload[1] = Hi(a);
  payload[2] = Lo(block.count);
  payload[3] = Hi(block.count);
  std::size_t size = 4;
  if (withData) {
    std::copy_n(block.data.begin(), block.count, payload + 4);
    size += block.count;
  }
  SendFrame(command, payload, size);
}

void T_BSL430::StartStep() {
  session_.Pause(kShortPauseMs);
  ackHandler_ = &T_BSL430::Finished;
  retryAction_ = &T_BSL430::StartStep;
  session_.stepCode = 10;
  // The start word lies right before the reset vector at the end of the image.
  const ImageBlock& last = image_.blocks.back();
  const std::uint8_t payload[] = {last.data[last.count - 4u], last.data[last.count - 3u], kFill, kFill};
  SendFrame(LoadPc, payload, sizeof payload);
}

void T_BSL430::PatchJump() {
  ackHandler_ = &T_BSL430::SyncThenPatchPassword;
  retryAction_ = &T_BSL430::PatchJump;
  session_.stepCode = 11;
  const std::uint8_t payload[] = {0x22, 0x0C, kFill, kFill};
  SendFrame(LoadPc, payload, sizeof payload);
}

void T_BSL430::PatchPassword() {
  ackHandler_ = &T_BSL430::PatchBegin;
  retryAction_ = &T_BSL430::PatchPassword;
  session_.stepCode = 4;
  SendPasswordFrame();
}

void T_BSL430::PatchProgram() {
  ackHandler_ = &T_BSL430::PatchNext;
  retryAction_ = &T_BSL430::PatchProgram;
  session_.stepCode = 13;
  SendBlock(RxDataBlock, patch_.blocks[static_cast<std::size_t>(patchIndex_)], true);
}

void T_BSL430::PatchVerify() {
  frameHandler_ = &T_BSL430::PatchCompare;
  retryAction_ = &T_BSL430::PatchVerify;
  session_.stepCode = 14;
  SendBlock(TxDataBlock, patch_.blocks[static_cast<std::size_t>(patchIndex_)], false);
}

void T_BSL430::PatchRun() {
  ackHandler_ = &T_BSL430::SyncThenContinuation;
  retryAction_ = &T_BSL430::PatchRun;
  session_.stepCode = 12;
  const std::uint32_t a = patch_.blocks.front().address;
  const std::uint8_t payload[] = {Lo(a), Hi(a), kFill, kFill};
  SendFrame(LoadPc, payload, sizeof payload);
}

// --- continuations ----------------------------------------------------------------

void T_BSL430::VersionReply(const std::uint8_t* frame) {
  chipId_ = frame[4] * 256 + frame[5];
  versionText_.Format("%X.%2X", frame[14], frame[15]);
  bslVersion_ = static_cast<std::int32_t>(std::atof(versionText_.c_str()) * 100 + 0.0001);
  versionKnown_ = true;
  if (session_.Record().WithoutSensor()) {
    ReplaceImage(chipId_);
    if (session_.done) return;
  }
  Sync(&T_BSL430::Password);
}

std::uint32_t T_BSL430::Block1Address() const {
  // An image of one block has no block 1; its block 0 bounds the erase then.
  return Stored(image_.blocks[image_.blocks.size() > 1 ? 1 : 0]);
}

void T_BSL430::AfterPassword() {
  passwordSent_ = true;
  if (!versionKnown_) {
    // The version is read now that the password is in force.
    Sync(&T_BSL430::Version);
    return;
  }
  const updater::DeviceRecord& record = session_.Record();
  const int k = std::min(componentIndex_, 1);
  const std::int32_t flashErase = k == 0 ? record.FlashErase2 : record.FlashErase3;
  eraseAddress_ = flashErase > 0 ? flashErase : 0xFC00;
  const bool noBaudChange = record.KeepsBootLoaderRate(k);
  const std::int32_t segments = (eraseAddress_ - static_cast<std::int32_t>(Block1Address())) / 512 + 2;
  session_.SetProgressMax(session_.ProgressMax() + segments * 2);
  if (bslVersion_ == 110) {
    LoadPatch();
  } else if (bslVersion_ >= 160 && !noBaudChange) {
    Sync(&T_BSL430::Baud);
  } else {
    Sync(&T_BSL430::Erase);
  }
}

void T_BSL430::AfterBaud() {
  session_.Pause(kShortPauseMs);
  session_.RaiseLine();
  session_.Pause(kShortPauseMs);
  Sync(&T_BSL430::Erase);
}

// Sync, then the baud-rate command with rate code 0 (9600 bit/s); the boot
// loader acknowledges at the raised rate and then follows.
void T_BSL430::LowerRate() {
  // The answer to the block in flight may still be on its way and take the
  // first sync's place, or a loaded machine miss the window: a sync may be
  // repeated at will.
  bool synced = false;
  for (int i = 0; i < kClosingSyncs && !synced; ++i) synced = session_.ClosingExchange(&kHeader, 1, kAck, kClosingAnswerMs);
  if (!synced) return;
  const ClockBytes clock = ClockFor9600(chipId_);
  const std::uint8_t payload[] = {clock.d1, clock.d2, 0x00, 0x00};
  const std::size_t length = BuildFrame(ChangeBaud, payload, frame_.data());
  session_.ClosingExchange(frame_.data(), length, kAck, kClosingAnswerMs);
}

void T_BSL430::OffsetConfirmedErase() {
  offsetInForce_ = wantedOffset_ == 1;
  Sync(&T_BSL430::Erase);
}

void T_BSL430::OffsetConfirmedProgram() {
  offsetInForce_ = wantedOffset_ == 1;
  Sync(&T_BSL430::ProgramBlock);
}

void T_BSL430::OffsetConfirmedVerify() {
  offsetInForce_ = wantedOffset_ == 1;
  Sync(&T_BSL430::VerifyBlock);
}

void T_BSL430::VectorErased() {
  vectorSegmentErased_ = true;
  Continue(&T_BSL430::ProgramBlock);
}

// Erases 512-byte segments from the start address down to block 1, then the
// information segment at 0x1080; the vector segment waits for its block.
void T_BSL430::NextSegment() {
  const std::int32_t b1 = static_cast<std::int32_t>(Block1Address());
  eraseAddress_ -= 0x200;
  if (eraseAddress_ > 0xE80) {
    // The segment that holds block 1's first byte is erased too, also when
    // block 1 does not start on a segment boundary.
    if (eraseAddress_ < b1 && eraseAddress_ + 0x200 > b1) eraseAddress_ = b1;
    if (eraseAddress_ < b1) eraseAddress_ = 0x1080;
    Sync(&T_BSL430::Erase);
    retryAction_ = &T_BSL430::Erase;
    return;
  }
  blockIndex_ = 0;
  Sync(&T_BSL430::ProgramBlock);
}

void T_BSL430::NextBlock() {
  if (blockIndex_ < image_.LastIndex()) {
    ++blockIndex_;
    Continue(&T_BSL430::ProgramBlock);
  } else {
    blockIndex_ = 0;
    Continue(&T_BSL430::VerifyBlock);
  }
}

namespace {
/// True when the reply frame carries exactly the block's bytes.
bool SameData(const std::uint8_t* frame, const ImageBlock& block) {
  const std::size_t l1 = frame[2];
  return l1 == block.count && std::equal(frame + 4, frame + 4 + l1, block.data.begin());
}
}  // namespace

void T_BSL430::Compare(const std::uint8_t* frame) {
  if (!SameData(frame, Block())) {
    session_.Fail();
    return;
  }
  if (blockIndex_ < image_.LastIndex()) {
    ++blockIndex_;
    Continue(&T_BSL430::VerifyBlock);
  } else {
    blockIndex_ = 0;
    Sync(&T_BSL430::StartStep);
  }
}

void T_BSL430::Finished() { session_.Finish(); }

void T_BSL430::Continue(Step step) {
  if (patchActive_) {
    PatchRunThen(step);
  } else {
    Sync(step);
  }
}

void T_BSL430::PatchRunThen(Step step) {
  continuation_ = step;
  Sync(&T_BSL430::PatchRun);
}

void T_BSL430::SyncThenContinuation() { Sync(continuation_); }

// BSL 1.10 reads flash wrongly; a patch in RAM, run before every read and
// write, works around it.
void T_BSL430::LoadPatch() {
  const TiTxtResult result = ReadPatch(platform::ResolveCaseless(ctx_.config.workDir, kPatchFile), patch_);
  if (!result.Ok()) {
    session_.failureText = FileErrorMessage(result.error, kPatchFile, result.line, ctx_.language).view();
    session_.Fail();
    return;
  }
  patchIndex_ = 0;
  session_.SetProgressMax(8 + 8 * (image_.LastIndex() + 1) + 4 * (patch_.LastIndex() + 1) + 246);
  Sync(&T_BSL430::PatchJump);
}

void T_BSL430::SyncThenPatchPassword() { Sync(&T_BSL430::PatchPassword); }

void T_BSL430::PatchBegin() {
  patchIndex_ = 0;
  Sync(&T_BSL430::PatchProgram);
}

void T_BSL430::PatchNext() {
  if (patchIndex_ < patch_.LastIndex()) {
    ++patchIndex_;
    Sync(&T_BSL430::PatchProgram);
    return;
  }
  patchIndex_ = 0;
  Sync(&T_BSL430::PatchVerify);
}

void T_BSL430::PatchCompare(const std::uint8_t* frame) {
  if (!SameData(frame, patch_.blocks[static_cast<std::size_t>(patchIndex_)])) {
    session_.Fail();
    return;
  }
  if (patchIndex_ < patch_.LastIndex()) {
    ++patchIndex_;
    Sync(&T_BSL430::PatchVerify);
    return;
  }
  patchIndex_ = 0;
  patchActive_ = true;
  Sync(&T_BSL430::Erase);
}

// Without a digital sensor the instrument takes the default image of its
// processor type, named in the configuration.
void T_BSL430::ReplaceImage(std::int32_t chip) {
  std::string name = ctx_.config.findProgDefFile ? ctx_.config.findProgDefFile(chip) : std::string();
  if (name.size() <= 4) return;
  if (name.back() == '@') {
    session_.Record().SetKeepsBootLoaderRate(1, true);
    name.pop_back();
  }
  blockIndex_ = 0;
  session_.failed = false;
  TiTxtImage replacement;
  if (!LoadImage(name.c_str(), replacement)) {
    session_.Fail();
    return;
  }
  image_ = std::move(replacement);
  session_.SetProgressMax(8 + 4 * (image_.LastIndex() + 1));
  if (chip == kChipF427) resetVector_ = 0x0C04;
}

}  // namespace loaders
