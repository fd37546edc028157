#pragma once
// The updater's side of an end-to-end run, as the main window sets it up for
// a loader: message loop, event queue and drain, timers, delays, the real
// serial component on the pty slave, and a reply parser that turns the
// firmware's lines into events while no loader has the line.
#include <memory>
#include <string>

#include "loaders/com_port_link.h"
#include "loader_services.h"
#include "platform/posix_serial_driver.h"
#include "serial/com_port.h"
#include "updater/event_codes.h"
#include "updater/reply_parser.h"
#include "updater/reply_reader.h"

namespace loaders::test {

class UpdaterRig final : public LoaderServices, private updater::ReplyListener {
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
    opened_ = port_->Open(&Loop(), 0, false) > 0;
    link_ = std::make_unique<ComPortLink>(port_.get(), "COM1 (" + path + ")");
    Loop().SetMessageHandler([this](const platform::Message& m) {
      if (m.number != serial::WM_V24_RXDATA) return;
      Events().PostMessage(updater::EV_SERIAL_DATA, static_cast<std::uintptr_t>(m.param));
      Drain().ProcessEvents();
    });
    Events().Subscribe(&Window, this);
  }
  ~UpdaterRig() override {
    Events().Unsubscribe(&Window, this);
    port_->Close();
  }

  bool Opened() const { return opened_; }
  /// The services with the real port, or with `port` in front of it.
  LoaderContext Context(const std::string& workDir) { return LoaderServices::Context(*link_, workDir); }
  LoaderPort& Link() { return *link_; }
  serial::TComPort& Port() { return *port_; }

 private:
  void LogReply(std::string_view) override {}
  void AnswerFrom(int) override {}

  // The window's part: while no loader consumes serial data, the reply
  // parser reads the port and posts one event per reply line.
  static core::TEventRecord Window(void* object, core::TEvents&, core::TEventRecord event) {
    auto* self = static_cast<UpdaterRig*>(object);
    if (event.Kind != core::EVT_MSG || event.Code != updater::EV_SERIAL_DATA) return event;
    updater::FeedArrivedReplies(*self->port_, self->parser_, 0);
    return {};
  }

  updater::TReplyParser parser_{Events(), *this};
  std::unique_ptr<serial::TComPort> port_;
  std::unique_ptr<ComPortLink> link_;
  bool opened_ = false;
};

}  // namespace loaders::test
