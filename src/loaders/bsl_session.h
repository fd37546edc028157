#pragma once
// BslSession: what the two MSP430 boot loaders share on top of the generic
// LoaderSession: the firmware's text commands that query the reset vector and
// enter the boot loader, the replies of that text phase (80/81, "!", "A."/"C.",
// "?"), the switch of the line to the boot loader's 9600 8E1, the step in
// progress and the failure report by step.
//
// Each loader object owns its own session, so two loaders never share state.
// Main thread only.
#include <cstdint>
#include <functional>

#include "core/fixed_text.h"
#include "loaders/loader_session.h"

namespace loaders {

/// What a loader does with the events of its run.
struct ConversationSteps {
  std::function<void(const char* text)> replyText;  ///< numbered reply 80 or 81
  std::function<void()> acknowledged;               ///< a reply line with "!"
  std::function<void()> replyLine;                  ///< a reply line with "A." or "C."
  std::function<void()> bslData;                    ///< serial data in the boot-loader phase
  std::function<void()> bslTimeout;                 ///< no data for a while in that phase
  /// A failed run raised the boot loader's rate: sets it back to 9600 bit/s
  /// (through ClosingExchange), so that the next run finds it there.
  std::function<void()> lowerRate;
};

class BslSession final : public LoaderSession, private SessionEvents {
 public:
  explicit BslSession(const LoaderContext& context) : LoaderSession(context, *this) {}

  /// The boot-loader phase's watchdog: no data for this long ends a step.
  static constexpr std::int32_t kBootLoaderWatchdogMs = 5000;

  /// Set by the loader before its run. After the end of a conversation none
  /// of them runs again.
  ConversationSteps steps;
  /// The numbered step in progress (its failure message tells which failed).
  std::int32_t stepCode = 0;
  bool bslMode = false;

  static const char* QueryCommand(int componentIndex);
  static const char* EnterCommand(int componentIndex);

  /// The run after the image was read: the 15000 ms watchdog of the text
  /// phase, then the line restored (or left at 9600 8N2 after a success with
  /// StartCmdIndex 2) and a pause of 1500 ms. True when the run did not fail.
  bool Conduct(const std::function<void()>& opening);
  /// Shows the message of a failed run; returns its result code.
  std::int32_t ReportFailure();
  /// Shows failureText for a file refused before anything was sent; returns
  /// the result code of a failure outside the steps.
  std::int32_t RefuseFile();

  /// The boot loader takes over: after `pauseMs` the line goes to 9600 bit/s,
  /// 8E1 without flow control, what has arrived is dropped, and the 5000 ms
  /// watchdog starts.
  void EnterBootLoaderLine(long pauseMs);
  /// The boot loader has taken the raise of its rate: the line follows to
  /// 38400 bit/s, 8E1. A failed run sets it back (steps.lowerRate).
  void RaiseLine();
  /// The boot loader runs at the raised rate (until the run ends).
  bool RateRaised() const { return rateRaised_; }
  /// The conversation has ended well.
  void Finish();

  /// A message that replaces the step's error message at the end of a failed
  /// run (a firmware file refused in the middle of the run).
  core::FixedText<512> failureText;

 private:
  void OnWatchdog() override;
  bool OnMessage(const core::TEventRecord& event) override;
  void OnRunEnd() override;

  bool rateRaised_ = false;
};

}  // namespace loaders
