#include "loaders/bsl54xx430.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "loaders/image_file.h"
#include "platform/files.h"
#include "loaders/loader_texts.h"

namespace loaders {
namespace {

using namespace bsl5xx;

constexpr long kEntryPauseMs = 4000;
constexpr long kShortPauseMs = 1000;
constexpr long kStartPauseMs = 3000;
// A boot loader acknowledges a short frame within a few character times.
constexpr long kClosingAnswerMs = 1000;
constexpr std::uint8_t kRate9600 = 0x02;
constexpr std::uint8_t kRate38400 = 0x04;
constexpr std::uint32_t kVectorSegment = 0xFE00;
/// Segments at or below this address belong to the boot loader and its
/// information memory; they are never erased.
constexpr std::int32_t kLowestErase = 0x1800;

std::uint8_t Lo(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t Hi(std::uint32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

/// Offset of the start word (the word before the reset vector) in a block.
long StartWordOffset(const ImageBlock& b) { return 0xFFFCL - static_cast<long>(b.address & 0xFFFF); }

}  // namespace

T_BSL_54XX_430::T_BSL_54XX_430(const LoaderContext& context)
    : ctx_(context), session_(ctx_) {
  session_.steps = {
      [this](const char* text) { TakePassword(text); },
      [this] { Acknowledged(); },
      [this] {
        if (passwordKnown_) StartBsl();
      },
      [this] { Receive(); },
      [this] { TimedOut(); },
      [this] { LowerRate(); },
  };
}

T_BSL_54XX_430::~T_BSL_54XX_430() = default;

bool T_BSL_54XX_430::Send(const char* text) { return session_.Send(text); }

// --- Program ------------------------------------------------------------------

TiTxtResult T_BSL_54XX_430::ReadFirmware(const std::string& path, TiTxtImage& image) {
  const TiTxtResult result = LoadImageFile(path, kFileBytes, kMaxBlocks, &Read5xxImage, image);
  if (!result.Ok()) return result;
  // The start address is the word at 0xFFFC of the last block.
  const long at = StartWordOffset(image.blocks.back());
  if (at < 0 || at + 1 >= image.blocks.back().count) return {TiTxtError::NoStartWord, 0};
  return result;
}

bool T_BSL_54XX_430::LoadImage(const char* fileName) {
  const TiTxtResult result = ReadFirmware(platform::ResolveCaseless(ctx_.config.workDir, fileName), image_);
  if (result.Ok()) return true;
  session_.failureText = FileErrorMessage(result.error, fileName, result.line, ctx_.language).view();
  return false;
}

int T_BSL_54XX_430::Program(const ProgramArgs& args) {
  const auto* msp430 = std::get_if<Msp430Args>(&args);
  return msp430 ? Program(msp430->componentIndex, msp430->file, msp430->syncFirst, msp430->queryFirst) : 0;
}

int T_BSL_54XX_430::Program(int componentIndex, const char* fileName, bool, bool queryFirst) {
  componentIndex_ = componentIndex;
  queryFirst_ = queryFirst;
  session_.SetProgress(0);
  blockIndex_ = 0;
  if (!LoadImage(fileName ? fileName : "")) {
    resultCode_ = session_.RefuseFile();
    return 0;
  }
  session_.SetProgressMax(ProgressBase());
  const bool programmed = session_.Conduct([this] {
    if (!session_.Record().DirectBootLoaderStart()) {
      Send("A.1000\r\n");
      return;
    }
    PasswordForDirectStart();
    guesses_ = PasswordGuesses(TableOf(password_), image_);
    StartBsl();
  });
  if (programmed) return 1;
  resultCode_ = session_.ReportFailure();
  return 0;
}

// A wrong password makes the boot loader erase the whole flash, so a direct
// start uses the password learnt earlier in the run whole, never a partly
// rebuilt one.
void T_BSL_54XX_430::PasswordForDirectStart() {
  const updater::DeviceRecord& record = session_.Record();
  if (record.ResetVectorKnown && record.PasswordKnown && record.RememberedPassword[0] == record.RememberedResetVector) {
    password_ = record.RememberedPassword;
    passwordKnown_ = true;
    return;
  }
  password_.fill(0xFFFF);
  password_[kPasswordWords - 1] = 0x1000;
}

// --- text phase ----------------------------------------------------------------

void T_BSL_54XX_430::Acknowledged() {
  if (session_.Record().WithoutSensor()) componentIndex_ = 2;
  session_.Pause(kShortPauseMs);
  if (queryFirst_) {
    Send(BslSession::QueryCommand(componentIndex_));
    return;
  }
  TakePassword("0xC04");
}

T_BSL_54XX_430::PasswordWords T_BSL_54XX_430::PasswordFromText(const char* text) {
  PasswordWords words;
  words.fill(0xFFFF);
  const std::size_t length = std::strlen(text);
  const std::size_t groups = std::clamp<std::size_t>(length / 6, 1, kPasswordWords);
  for (std::size_t g = 0; g < groups; ++g) {
    const std::string group = g * 6 < length ? std::string(text + g * 6, std::min<std::size_t>(6, length - g * 6))
                                             : std::string();
    words[kPasswordWords - 1 - g] = static_cast<std::int32_t>(std::strtoul(group.c_str(), nullptr, 16));
  }
  return words;
}

void T_BSL_54XX_430::TakePassword(const char* text) {
  password_ = PasswordFromText(text);
  passwordKnown_ = true;
  session_.Record().RememberedResetVector = password_[0];
  session_.Record().ResetVectorKnown = 1;
  session_.Record().RememberedPassword = password_;
  session_.Record().PasswordKnown = 1;
  Send(BslSession::EnterCommand(componentIndex_));
}

void T_BSL_54XX_430::StartBsl() {
  session_.EnterBootLoaderLine(kEntryPauseMs);
  Password();
}

// --- receiving ------------------------------------------------------------------

void T_BSL_54XX_430::Receive() {
  if (session_.ReadArrived() == LoaderPort::kClosed) return;
  for (;;) {
    const std::uint8_t* rx = session_.Received();
    const std::size_t count = session_.ReceivedCount();
    long frameStart = -1, ack = -1, error = -1;
    for (std::size_t i = 0; i < count; ++i) {
      if (rx[i] == kHeader) {
        frameStart = static_cast<long>(i);
        break;
      }
      if (rx[i] == kAck) ack = static_cast<long>(i);
      else if (IsErrorByte(rx[i])) error = static_cast<long>(i);
    }
    bool tookOut = false;
    if (ack >= 0) {
      session_.Advance();
      session_.TakeOut(static_cast<std::size_t>(ack));
      if (error > ack) --error;
      if (frameStart > ack) --frameStart;
      tookOut = true;
      if (ackHandler_) (this->*ackHandler_)();
    }
    if (error >= 0) {
      session_.Advance();
      session_.TakeOut(static_cast<std::size_t>(error));
      if (frameStart > error) --frameStart;
      tookOut = true;
      Retry();
    }
    if (frameStart >= 0) {
      const std::size_t start = static_cast<std::size_t>(frameStart);
      const std::size_t now = session_.ReceivedCount();
      if (now < start + 3) return;
      const std::size_t length = static_cast<std::size_t>(session_.Received()[start + 1]) + 5;
      if (now - start < length) return;
      std::copy_n(session_.Received() + start, length, lastFrame_.begin());
      // A frame with a wrong CRC is dropped, so that the answer to the retry
      // is not stuck behind it; the step ends by its time-out.
      session_.TakeOut(start, length);
      if (!CrcMatches({lastFrame_.data(), length})) return;
      session_.Advance();
      HandleResponse(lastFrame_.data());
      session_.ReportPosition();
      return;
    }
    if (!tookOut || session_.ReceivedCount() == 0) return;
  }
}

void T_BSL_54XX_430::HandleResponse(const std::uint8_t* frame) {
  const std::uint8_t kind = frame[3];
  if (kind == kDataResponse) {
    if (frameHandler_) (this->*frameHandler_)(frame);
    return;
  }
  if (kind != kMessageResponse) return;
  switch (frame[4]) {
    case 0x00:
      if (messageHandler_) (this->*messageHandler_)();
      return;
    case 0x01:  // flash write check failed
    case 0x02:  // flash fail bit set
    case 0x03:  // voltage change during program
    case 0x05:  // password error
      // The boot loader has erased its main memory for the wrong password:
      // the next guess (the erased table) is the one it takes now.
      if (guess_ + 1 < guesses_.size()) return NextPasswordGuess();
      resultCode_ = FailureCode(session_.stepCode);
      session_.ShowError(StepErrorText(resultCode_, ctx_.language));
      return;
    default:
      return;
  }
}

// An error byte: the boot loader answered, so when the step's retries are
// spent the data phase may run again.
void T_BSL_54XX_430::Retry() {
  if (!retryAction_) return;
  if (resyncing_ || !history_.Admit(retryAction_)) return RepeatDataPhase();
  (this->*retryAction_)();
}

// Silence: a boot loader that stopped answering is not tried again and again.
void T_BSL_54XX_430::TimedOut() {
  if (!retryAction_) return;
  if (resyncing_ || !history_.Admit(retryAction_)) return GiveUp();
  (this->*retryAction_)();
}

// The erase goes first, since flash takes a block only once between erases;
// success is still reported only after every block read back right.
void T_BSL_54XX_430::RepeatDataPhase() {
  if (!unlocked_ || repeatsLeft_ == 0) return GiveUp();
  --repeatsLeft_;
  resyncing_ = true;
  history_ = {};
  frameHandler_ = nullptr;
  ackHandler_ = nullptr;
  vectorSegmentErased_ = false;
  lastSegment_ = false;
  blockIndex_ = 0;
  ctx_.output.Log(DataPhaseAgainNote(ctx_.language));
  // Answers to the frames sent twice may still be on their way; they must
  // not be taken for the password's.
  session_.Pause(kShortPauseMs);
  session_.DiscardArrived();
  // A wrong password makes the boot loader erase its main memory; after
  // that the erased table is the one it takes.
  guesses_ = PasswordGuesses(vectorTable_, image_);
  guess_ = 0;
  UsePassword(guesses_[0]);
  session_.SetProgress(0);
  session_.SetProgressMax(ProgressBase());
  session_.StartWatchdog(kResyncAnswerMs);
  Password();
}

void T_BSL_54XX_430::GiveUp() {
  session_.StopWatchdog();
  session_.Fail();
}

// --- steps ----------------------------------------------------------------------------

std::size_t T_BSL_54XX_430::FrameCore(std::uint8_t command, std::uint32_t address, const std::uint8_t* data,
                                      std::size_t size) {
  std::uint8_t core[kMaxFrame];
  const std::size_t n = BuildCore(command, address, {data, size}, core);
  return BuildFrame({core, n}, frame_.data());
}

void T_BSL_54XX_430::SendCore(std::uint8_t command, std::uint32_t address, const std::uint8_t* data,
                              std::size_t size) {
  session_.WriteBytes(frame_.data(), FrameCore(command, address, data, size));
}

void T_BSL_54XX_430::Password() {
  messageHandler_ = &T_BSL_54XX_430::PasswordAccepted;
  retryAction_ = &T_BSL_54XX_430::Password;
  session_.stepCode = 4;
  const VectorTable data = TableOf(password_);
  SendCore(RxPassword, 0, data.data(), data.size());
}

void T_BSL_54XX_430::UsePassword(const VectorTable& table) {
  for (std::size_t i = 0; i < kPasswordWords; ++i) password_[i] = table[2 * i] | (table[2 * i + 1] << 8);
}

void T_BSL_54XX_430::NextPasswordGuess() {
  UsePassword(guesses_[++guess_]);
  Password();
}

void T_BSL_54XX_430::PasswordAccepted() {
  unlocked_ = true;
  vectorTable_ = TableOf(password_);
  if (resyncing_) {
    resyncing_ = false;
    session_.StartWatchdog(BslSession::kBootLoaderWatchdogMs);
  }
  Version();
}

VectorTable T_BSL_54XX_430::TableOf(const PasswordWords& words) {
  VectorTable table;
  for (std::size_t i = 0; i < kPasswordWords; ++i) {
    table[2 * i] = Lo(static_cast<std::uint32_t>(words[i]));
    table[2 * i + 1] = Hi(static_cast<std::uint32_t>(words[i]));
  }
  return table;
}

void T_BSL_54XX_430::Version() {
  frameHandler_ = &T_BSL_54XX_430::VersionReply;
  messageHandler_ = nullptr;
  retryAction_ = &T_BSL_54XX_430::Version;
  session_.stepCode = 2;
  SendCore(TxBslVersion, 0, nullptr, 0);
}

void T_BSL_54XX_430::Descriptor() {
  frameHandler_ = &T_BSL_54XX_430::DescriptorReply;
  messageHandler_ = nullptr;
  retryAction_ = &T_BSL_54XX_430::Descriptor;
  session_.stepCode = 2;
  const std::uint8_t length[] = {0x04, 0x00};
  SendCore(TxDataBlock, 0x1A04, length, sizeof length);
}

void T_BSL_54XX_430::Baud() {
  ackHandler_ = &T_BSL_54XX_430::AfterBaud;
  retryAction_ = &T_BSL_54XX_430::Baud;
  session_.stepCode = 3;
  const std::uint8_t rate[] = {kRate38400};
  SendCore(ChangeBaud, 0, rate, sizeof rate);
}

void T_BSL_54XX_430::Erase() {
  if (eraseAddress_ <= kLowestErase) {
    // Nothing is erased there; the loop goes on as if the segment was done.
    NextSegment();
    return;
  }
  messageHandler_ = &T_BSL_54XX_430::NextSegment;
  retryAction_ = &T_BSL_54XX_430::Erase;
  session_.stepCode = 5;
  SendCore(EraseSegment, static_cast<std::uint32_t>(eraseAddress_), nullptr, 0);
}

void T_BSL_54XX_430::ProgramStep() {
  const ImageBlock& b = Block();
  if (b.End() >= kVectorSegment && b.address < 0x10000 && !vectorSegmentErased_) {
    eraseAddress_ = 0xFFFF;
    lastSegment_ = false;
    Erase();
    session_.stepCode = 6;
    messageHandler_ = &T_BSL_54XX_430::VectorErased;
    return;
  }
  messageHandler_ = &T_BSL_54XX_430::NextBlock;
  retryAction_ = &T_BSL_54XX_430::ProgramStep;
  session_.stepCode = 8;
  SendCore(RxDataBlock, b.address, b.data.data(), b.count);
}

void T_BSL_54XX_430::VerifyStep() {
  frameHandler_ = &T_BSL_54XX_430::Compare;
  retryAction_ = &T_BSL_54XX_430::VerifyStep;
  session_.stepCode = 9;
  const std::uint8_t length[] = {Lo(Block().count), Hi(Block().count)};
  SendCore(TxDataBlock, Block().address, length, sizeof length);
}

void T_BSL_54XX_430::Start() {
  session_.Pause(kStartPauseMs);
  ackHandler_ = &T_BSL_54XX_430::Finished;
  retryAction_ = &T_BSL_54XX_430::Start;
  session_.stepCode = 10;
  const ImageBlock& last = image_.blocks.back();
  const std::size_t at = static_cast<std::size_t>(StartWordOffset(last));
  const std::uint32_t start = last.data[at] | (static_cast<std::uint32_t>(last.data[at + 1]) << 8);
  SendCore(LoadPc, start, nullptr, 0);
}

// --- continuations ------------------------------------------------------------------

void T_BSL_54XX_430::VersionReply(const std::uint8_t*) {
  frameHandler_ = nullptr;
  Descriptor();
}

std::uint32_t T_BSL_54XX_430::BlockAddress(std::size_t index) const {
  // An image of one block has no block 1; its block 0 bounds the erase then.
  return image_.blocks[std::min(index, image_.blocks.size() - 1)].address;
}

void T_BSL_54XX_430::DescriptorReply(const std::uint8_t*) {
  frameHandler_ = nullptr;
  const updater::DeviceRecord& record = session_.Record();
  const int k = std::min(componentIndex_, 1);
  const std::int32_t flashErase = k == 0 ? record.FlashErase2 : record.FlashErase3;
  eraseAddress_ = flashErase > 0 ? flashErase : 0xFC00;
  lastSegment_ = false;
  // A data phase that runs again finds the rate raised already.
  const bool noBaudChange = record.KeepsBootLoaderRate(k) || session_.RateRaised();
  const std::int32_t segments = (eraseAddress_ - static_cast<std::int32_t>(BlockAddress(1))) / 512 + 2;
  session_.SetProgressMax(session_.ProgressMax() + segments * 2);
  if (noBaudChange) {
    Erase();
  } else {
    Baud();
  }
}

void T_BSL_54XX_430::AfterBaud() {
  ackHandler_ = nullptr;
  session_.RaiseLine();
  session_.Pause(kShortPauseMs);
  Erase();
}

// The boot loader acknowledges at the raised rate and then follows.
void T_BSL_54XX_430::LowerRate() {
  const std::uint8_t rate[] = {kRate9600};
  session_.ClosingExchange(frame_.data(), FrameCore(ChangeBaud, 0, rate, sizeof rate), kAck, kClosingAnswerMs);
}

// Erases 512-byte segments from the start address down to block 1, then the
// segment of block 0, then programs; the vector segment waits for its block.
void T_BSL_54XX_430::NextSegment() {
  const std::int32_t b1 = static_cast<std::int32_t>(BlockAddress(1));
  const std::int32_t b0 = static_cast<std::int32_t>(BlockAddress(0));
  eraseAddress_ -= 0x200;
  if (eraseAddress_ == static_cast<std::int32_t>(kVectorSegment)) eraseAddress_ -= 0x200;
  // Block 0's segment is the last one; without this an image whose block 0
  // lies above block 1 would be erased round and round.
  if (lastSegment_ || eraseAddress_ < b1 - 0x200) {
    lastSegment_ = false;
    blockIndex_ = 0;
    ProgramStep();
    return;
  }
  // The segment that holds block 1's first byte is erased too, also when
  // block 1 does not start on a segment boundary (unless block 0's segment,
  // erased next, is that segment).
  const bool holdsB1 = eraseAddress_ < b1 && eraseAddress_ + 0x200 > b1;
  const bool holdsB0 = b0 >= eraseAddress_ && b0 < eraseAddress_ + 0x200;
  if (eraseAddress_ == b1 - 0x100 || (holdsB1 && !holdsB0)) eraseAddress_ = b1;
  if (eraseAddress_ < b1) {
    eraseAddress_ = b0;
    lastSegment_ = true;
  }
  retryAction_ = &T_BSL_54XX_430::Erase;
  Erase();
}

void T_BSL_54XX_430::VectorErased() {
  vectorSegmentErased_ = true;
  vectorTable_.fill(0xFF);
  ProgramStep();
}

void T_BSL_54XX_430::NextBlock() {
  OverlayVectorTable(vectorTable_, Block());
  if (blockIndex_ < image_.LastIndex()) {
    ++blockIndex_;
    ProgramStep();
  } else {
    blockIndex_ = 0;
    VerifyStep();
  }
}

void T_BSL_54XX_430::Compare(const std::uint8_t* frame) {
  const std::size_t nl = frame[1] | (static_cast<std::size_t>(frame[2]) << 8);
  const ImageBlock& b = Block();
  if (nl != static_cast<std::size_t>(b.count) + 1 || !std::equal(frame + 4, frame + 3 + nl, b.data.begin())) {
    RepeatDataPhase();
    return;
  }
  if (blockIndex_ < image_.LastIndex()) {
    ++blockIndex_;
    VerifyStep();
    return;
  }
  blockIndex_ = 0;
  frameHandler_ = nullptr;
  Start();
}

void T_BSL_54XX_430::Finished() { session_.Finish(); }

}  // namespace loaders
