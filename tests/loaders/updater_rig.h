#pragma once
// The updater's side of an end-to-end run, as the main window sets it up for
// a loader: message loop, event queue and drain, timers, delays, the real
// serial component on the pty slave, and a reply parser that turns the
// firmware's lines into events while no loader has the line.
#include <memory>
#include <string>

#include "core/delay.h"
#include "core/event_drain.h"
#include "core/events.h"
#include "core/timer_pool.h"
#include "loaders/com_port_link.h"
#include "loaders/loader_context.h"
#include "platform/plain_message_loop.h"
#include "platform/posix_serial_driver.h"
#include "recording_view.h"
#include "serial/com_port.h"
#include "updater/device_record.h"
#include "updater/reply_parser.h"

namespace loaders::test {

class UpdaterRig final : private updater::ReplyListener {
 public:
  /// Opens the port at the firmware's line settings.
  UpdaterRig(const std::string& path, serial::BaudTag baud, serial::StopBitTag stopBits) {
    platform::SetSerialPortList(path);
    port_ = std::make_unique<serial::TComPort>();
    serial::V24ParameterTag* record = port_->GetV24Parameter();
    record->Baudrate = baud;
    record->StopBits = stopBits;
    record->Paritaet = serial::NoParity;
    record->DatenBits = serial::D_8;
    record->Schnittstelle = serial::Com__1;
    opened_ = port_->Open(&loop_, 0, false) > 0;
    link_ = std::make_unique<ComPortLink>(port_.get());
    timers_.TimerRegister(5);
    wait_.SetEnable(true);
    loop_.SetMessageHandler([this](const platform::Message& m) {
      if (m.number != serial::WM_V24_RXDATA) return;
      events_.PostMessage(10000, static_cast<std::uintptr_t>(m.param));
      drain_.ProcessEvents();
    });
    events_.Subscribe(&Window, this);
  }
  ~UpdaterRig() override {
    events_.Unsubscribe(&Window, this);
    port_->Close();
  }

  bool Opened() const { return opened_; }
  LoaderContext Context(const std::string& workDir) {
    LoaderContext c;
    c.language = 1;
    c.view = &view;
    c.reportProgress = [this](std::string_view, float percent) { lastPercent = percent; };
    c.wait = &wait_;
    c.record = &record;
    c.port = link_.get();
    c.events = &events_;
    c.processEvents = [this] { drain_.ProcessEvents(); };
    c.timers = &timers_;
    c.loop = &loop_;
    c.startCmdIndex = startCmdIndex;
    c.findProgDefFile = [this](std::int32_t) { return progDefFile; };
    c.workDir = workDir;
    return c;
  }
  serial::TComPort& Port() { return *port_; }
  core::TDelay& Wait() { return wait_; }

  RecordingView view;
  updater::DeviceRecord record;
  std::int32_t startCmdIndex = 0;
  std::string progDefFile;
  float lastPercent = 0;

 private:
  void LogReply(std::string_view) override {}
  void AnswerFrom(int) override {}

  // The window's part: while no loader consumes serial data, the reply
  // parser reads the port and posts one event per reply line.
  static core::TEventRecord Window(void* object, core::TEvents&, core::TEventRecord event) {
    auto* self = static_cast<UpdaterRig*>(object);
    if (event.Kind != core::EVT_MSG || event.Code != 10000) return event;
    char buffer[updater::TReplyParser::kReadSize + 1];
    const int n = self->port_->Read(buffer, updater::TReplyParser::kReadSize);
    if (n > 0) self->parser_.Feed(buffer, n, 0);
    return {};
  }

  platform::PlainMessageLoop loop_;
  core::TEvents events_;
  core::TEventDrain drain_{events_, loop_};
  core::TTimerPool timers_{loop_, events_, [this] { drain_.ProcessEvents(); }};
  core::TDelay wait_{loop_};
  updater::TReplyParser parser_{events_, *this};
  std::unique_ptr<serial::TComPort> port_;
  std::unique_ptr<ComPortLink> link_;
  bool opened_ = false;
};

}  // namespace loaders::test
