#pragma once
// T_EMFLoader: programs instruments whose firmware comes as a binary (.BIN)
// image, through their EMF boot loader with XMODEM-CRC.
//
// The workflow creates one object per programming run, calls Program once and
// destroys the object. Program reads the file first: a file that is missing,
// unreadable, empty or too large for the 1,500,000-byte image with its padding
// and trailer is refused with a message before anything is sent. Then it asks
// the running firmware to start its boot loader at the boot loader's rate
// ("A.1000", the entry command with the rate digit; for component 2 a
// fallback to the instrument's own entry at 9600 bit/s), switches the line,
// reads the boot loader's version ("A.2051", reply 251, shown behind the
// software version), sends the image block by block, asks for the CRC the
// boot loader computed (reply 1205) and, when it equals the image's, tells the
// boot loader to run the new firmware. An instrument already waiting in its
// boot loader (DeviceRecord flag A) is asked for the version directly.
//
// When a data phase cannot end well but the boot loader still answers (a
// block refused 10 times in a row, a block or the end of transmission
// unanswered twice, a different or unreadable CRC, no CRC reply), the loader
// ends what is left of the transfer with EOT, asks for the version again and
// sends the whole image anew, up to kDataPhaseRetries times.
//
// Results: 1 when the boot loader reported the image's CRC and was told to
// run it; 0 after the error message was shown: no answer for 10000 ms outside
// the transfer, the data phase failed once more than it may be retried, a
// reply 1205 before the transfer ended, or a line that took no more bytes.
// Main thread only; Program drives the event queue and the message loop
// itself until the conversation has ended.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "loaders/emf_session.h"
#include "loaders/loader_context.h"
#include "loaders/loader_registry.h"
#include "loaders/loader_texts.h"
#include "loaders/xmodem_image.h"
#include "loaders/xmodem_sender.h"

namespace loaders {

class T_EMFLoader final : public ProgrammingLoader {
 public:
  /// Room for the file, its padding and its trailer.
  static constexpr std::size_t kImageBytes = 1500000;
  /// Data phases run again in place after the first one failed.
  static constexpr int kDataPhaseRetries = 2;

  /// The image of the .BIN file at `path`: not empty, and padded and closed
  /// by its trailer within kImageBytes.
  static TiTxtResult ReadFirmware(const std::string& path, xmodem::PaddedImage& image);

  explicit T_EMFLoader(const LoaderContext& context);
  T_EMFLoader(const T_EMFLoader&) = delete;
  T_EMFLoader& operator=(const T_EMFLoader&) = delete;

  /// Program with EmfArgs (its force flag has no effect here); any other
  /// arguments are refused with 0.
  int Program(const ProgramArgs& args) override;
  /// One programming run: 1 programmed and started, 0 failed.
  int Program(int componentIndex, const char* fileName);

 private:
  bool LoadImage(const char* fileName);
  void Opening();

  // Text phase.
  void Acknowledged();
  void ReplyLine();
  void EnterBootLoader();
  void Silence();
  void AskWaitingBootLoader();
  void FallBackToInstrumentEntry();
  void Version(const char* text);

  // Transfer and check.
  void BeginDataPhase();
  void TransferData();
  void Perform(xmodem::XmodemSender::Step step);
  void CheckCrc(const char* text);
  void RetryDataPhase();

  LoaderContext ctx_;
  EmfSession session_;
  std::int32_t componentIndex_ = 0;
  /// The rate the last entry command announced; the line follows it.
  serial::BaudTag announcedRate_ = serial::B__9600;
  bool transferBegun_ = false;  ///< the boot loader's version came: the text phase is over
  bool firmwareAnswered_ = false;  ///< the firmware acknowledged the opening command
  bool askedWaitingBootLoader_ = false;  ///< the boot loader was asked directly
  bool crcAsked_ = false;       ///< the end of transmission was acknowledged and "c" sent
  bool resyncing_ = false;      ///< a failed data phase was ended; the version is asked again
  int retries_ = 0;             ///< data phases run again in this run
  FileErrorText refusal_;       ///< why the file was refused
  xmodem::PaddedImage image_;
  std::optional<xmodem::XmodemSender> sender_;
};

}  // namespace loaders
