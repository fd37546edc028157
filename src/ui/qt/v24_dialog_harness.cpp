// v24-settings-dialog: opens the serial settings dialog of one port object, as
// TComPort::OpenDialog runs it, and prints the parameter set afterwards. A
// developer's tool: the updater itself never opens the dialog.
//
//   v24-settings-dialog [--english] [--file NAME]
//     --english    English captions (default German)
//     --file NAME  keep the parameters in NAME (the settings file, 40 bytes)
#include <QApplication>
#include <cstring>
#include <iostream>

#include "serial/com_port.h"
#include "ui/qt/qt_app.h"
#include "ui/qt/v24_dialog.h"

namespace {

void PrintRecord(const serial::V24ParameterTag& r) {
  std::cout << "DatenBits=" << r.DatenBits << " Paritaet=" << r.Paritaet << " StopBits=" << r.StopBits
            << " Baudrate=" << r.Baudrate << " Handshake=" << r.Handshake << " RXTimeOut=" << r.RXTimeOut
            << " TXTimeOut=" << r.TXTimeOut << " Schnittstelle=COM" << r.Schnittstelle + 1
            << " KeinNullZeichen=" << r.KeinNullZeichen << " KeinString=" << r.KeinString
            << " RXNotification=" << r.RXNotification << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (!ui_qt::DisplayAvailable()) {
    std::cerr << "v24-settings-dialog: no display (DISPLAY is not set).\n";
    return 1;
  }
  QApplication app(argc, argv);
  serial::TComPort port;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--english") == 0) port.SetLanguage(1);
    if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
      port.SetDatei(argv[++i]);
      port.SetStreamOn(true);
    }
  }
  // Every field editable, so that the whole dialog can be tried.
  serial::TDlgParameter all;
  all.DatenBits = all.Schnittstelle = all.Paritaet = all.StopBits = all.Baudrate = all.Handshake = true;
  all.RXTimeOut = all.RXNotification = all.TXTimeOut = all.KeinNullZeichen = all.KeinString = true;
  port.SetV24Dlg(&all);
  const bool ok = port.OpenDialog(ui_qt::V24DialogRunner());
  std::cout << (ok ? "OK: " : "cancelled: ");
  PrintRecord(*port.GetV24Parameter());
  return ok ? 0 : 2;
}
