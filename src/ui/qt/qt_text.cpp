#include "ui/qt/qt_text.h"

#include <array>

#include "core/text_encoding.h"

namespace ui_qt {
namespace {

// Unicode of the Windows-1252 codes 0x80..0x9F, the only ones that differ
// from Latin-1.
std::array<char16_t, 32> HighCodes() {
  std::array<char16_t, 32> codes{};
  for (int i = 0; i < 32; ++i) {
    const char byte = static_cast<char>(0x80 + i);
    codes[i] = QString::fromUtf8(core::Cp1252ToUtf8(std::string_view(&byte, 1))).at(0).unicode();
  }
  return codes;
}

char ToCp1252(char16_t c) {
  static const std::array<char16_t, 32> high = HighCodes();
  for (int i = 0; i < 32; ++i) {
    if (high[i] == c) return static_cast<char>(0x80 + i);
  }
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  return '?';
}

}  // namespace

QString ToQt(std::string_view text) {
  QString out = QString::fromUtf8(core::Cp1252ToUtf8(text));
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar('\r'), QChar('\n'));
  return out;
}

std::string FromQt(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) {
    if (c == QChar('\n')) {
      out += "\r\n";
    } else {
      out += ToCp1252(c.unicode());
    }
  }
  return out;
}

}  // namespace ui_qt
