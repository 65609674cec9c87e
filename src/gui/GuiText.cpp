#include "gui/GuiText.h"

#include <QFontDatabase>

#include "base/Sjis.h"

namespace velkor {

QString FromSjis(std::string_view sjis) {
  return QString::fromStdString(SjisToUtf8Lossy(sjis));
}

std::string ToSjis(const QString& text) {
  return Utf8ToSjisLossy(text.toStdString());
}

QColor ToQColor(Colour colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Colour FromQColor(const QColor& colour) {
  return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

QColor TextColourOn(const QColor& background) {
  return background.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

QStringList GothicFamilies() {
  return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
}

QFont GothicFont() {
  QFont font;
  font.setFamilies(GothicFamilies());
  return font;
}

QString GothicFamily() {
  const QStringList installed = QFontDatabase::families();
  for (const QString& name : GothicFamilies()) {
    if (installed.contains(name)) return name;
  }
  return QFont().defaultFamily();
}

}  // namespace velkor
