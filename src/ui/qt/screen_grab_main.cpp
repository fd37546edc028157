// qt-screen-grab: saves the picture of an X window (or of the whole screen) as
// a PNG file. scripts/screenshot-window uses it under Xvfb.
//
//   qt-screen-grab OUT.png [WINDOW_ID]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: qt-screen-grab OUT.png [WINDOW_ID]\n";
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  const WId window = argc > 2 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
  const QPixmap picture = screen != nullptr ? screen->grabWindow(window) : QPixmap();
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::cerr << "qt-screen-grab: could not take or save the picture\n";
    return 1;
  }
  return 0;
}
